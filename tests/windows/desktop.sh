# Sourced by check.sh: the desktop program from the unzipped folder, worked
# as a user would, as tests/e2e/desktop.sh does on Linux: first start shows
# the settings window, values typed with Enter between the fields, save, the
# main window, a CSV path, F5, the completion message, the pages, 終了.
# The pages must be those of the Linux sorabi-batch with the saved settings.
#
# Needs (check.sh): work, app, version, root, host_batch, shots, wine_bin;
#   win_path, wait_window, activate, key, type_text, shot_root, fail, pass.
# Provides: portable (the program's folder, with its option.ini and output
#   folder), title (the main window's, a regular expression), and
#   $work/products.csv.

portable=$work/portable
rm -rf "$portable"
cp -r "$app" "$portable"
rm -f "$portable/option.ini"
cp "$root/examples/products.csv" "$work/products.csv"
title="Sorabi Ver\\. ${version//./\\.}"

# Double-clicked in Explorer, a program starts in its own folder.
(cd "$portable" && exec "$wine_bin" sorabi.exe >"$work/desktop.log" 2>&1) &
desktop_pid=$!

# 1. The settings window comes first.
settings=$(wait_window "サイト情報登録" 30) || fail "no settings window on first start"
wait_window "$title" 0 >/dev/null && fail "main window shown before the settings"
activate "$settings"
shot_root "$shots/1-settings.png"

# 2. Values typed with Enter between the fields (the list and the tax box take keys).
type_text "Sorabi Wine Shop"; key Return
type_text "Every day a little better"; key Return
type_text "Free shipping"; key Return
type_text "Gift wrapping"; key Return
key Return                                      # 公開URL left empty
key Down; key Down; key Return              # header picture 003
type_text "shop-wine"; key Return
type_text "Hanako Yamada"; key Return
key BackSpace; type_text "8"; key Return     # tax rate 8
shot_root "$shots/2-settings-filled.png"
key space                                    # the focus is on 保存

# 3. The confirmation, in Japanese; then the main window.
box=$(wait_window "Sorabi" 10) || fail "no confirmation after saving"
sleep 0.5
shot_root "$shots/3-saved.png"
activate "$box"
key Return
main=$(wait_window "$title" 15) || fail "no main window after the settings"
sleep 1
shot_root "$shots/4-main.png"
[ -f "$portable/option.ini" ] || fail "option.ini was not written beside the program"
for line in '[OPTION]' 'HEADERIMAGE=2' 'SITENAME=Sorabi Wine Shop' 'SHOPID=shop-wine' \
    'SITEMASTER=Hanako Yamada' 'TAX=8'; do
    grep -qxF "$line"$'\r' "$portable/option.ini" || fail "option.ini lacks $line"
done

# 4. A CSV path typed, F5, the completion message.
activate "$main"
type_text "$(win_path "$work/products.csv")"
key F5
done_box=$(wait_window "Sorabi" 60) || fail "no completion message"
sleep 0.5
shot_root "$shots/5-done.png"
activate "$done_box"
key Return

# 5. The pages, beside the program, as the Linux build makes them.
folders=("$portable"/20[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9])
[ "${#folders[@]}" -eq 1 ] && [ -d "${folders[0]}" ] || fail "no output folder beside the program"
[ -f "$portable/articles.csv" ] || fail "no working copy beside the program"
mkdir -p "$work/desktop-linux"
(cd "$work/desktop-linux" && LC_ALL=C.UTF-8 "$host_batch" --settings "$portable/option.ini" \
    --output-dir . "$work/products.csv" >/dev/null 2>&1) || fail "Linux sorabi-batch failed"
diff -r "$work/desktop-linux"/20*/ "${folders[0]}" >/dev/null ||
    fail "the desktop program's pages differ from the Linux build's"
pages=$(find "${folders[0]}" -name '*.html' | wc -l)

# 6. 終了 through the menu ends the program.
activate "$main"
key alt+f; key x
for _ in $(seq 100); do kill -0 "$desktop_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$desktop_pid" 2>/dev/null && fail "the program did not end"
pass "desktop program: settings, save, F5, $pages pages identical to Linux, 終了 (screenshots in $shots)"
