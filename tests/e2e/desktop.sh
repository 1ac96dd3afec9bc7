#!/usr/bin/env bash
# Works the real program in a real X server as a user would: first start
# without settings, the settings typed with Enter between the fields, save,
# the main window, a CSV path, F5, the completion message, the pages on disk.
# Usage: SORABI_VERSION=<project version> desktop.sh SORABI_BINARY EXAMPLES_DIR [SCREENSHOT_DIR]
set -euo pipefail
source "$(dirname "$0")/harness.sh"

take_arguments "$@"
cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
    stop_x
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own.
start_x 1280x1024x24

# The program's folder is where the pages go: give it a folder of its own.
cp "$binary" "$work/sorabi"
cd "$work"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
./sorabi >"$work/log.txt" 2>&1 &
app_pid=$!

# 1. The settings window comes first.
settings=$(wait_window "サイト情報登録" 15) || fail "no settings window on first start"
wait_window "$main_title" 0 >/dev/null 2>&1 && fail "main window shown before the settings"
activate "$settings"
shot_root "$shots/1-settings-empty.png"

# 2. Values typed with Enter between the fields (the list and the tax box take keys).
prime_keyboard
type_text "暮らしの道具店 そらび"; key Return
type_text "毎日をちょっと良くする道具"; key Return
type_text "送料無料"; key Return
type_text "ギフト包装承ります"; key Return
key Return                                  # 公開URL left empty
key Down; key Down; key Return             # header picture 003
type_text "shop-e2e"; key Return
type_text "山田 花子"; key Return
key BackSpace; type_text "8"; key Return    # tax rate 8
shot_root "$shots/2-settings-filled.png"
key space                                   # the focus is on 保存

# 3. The confirmation, then the main window opens maximised.
box=$(wait_window "Sorabi" 10) || fail "no confirmation after saving"
shot_root "$shots/3-saved.png"
activate "$box"
key Return
main=$(wait_window "$main_title" 10) || fail "no main window after the settings"
sleep 1
shot_root "$shots/4-main.png"

[ -f option.ini ] || fail "option.ini was not written"
ini=$(iconv -f SHIFT_JIS -t UTF-8 option.ini)
for line in '[OPTION]' 'HEADERIMAGE=2' 'SITENAME=暮らしの道具店 そらび' 'SHOPID=shop-e2e' \
    'SITEMASTER=山田 花子' 'TAX=8'; do
    grep -qxF "$line"$'\r' <<<"$ini" || fail "option.ini lacks $line: $ini"
done
if [ -n "${wm_pid:-}" ]; then
    eval "$(xdotool getwindowgeometry --shell "$main")"
    [ "$WIDTH" -ge 1200 ] || fail "main window not maximised (width $WIDTH)"
fi

# 4. A CSV path typed, F5, the completion message.
activate "$main"
cp "$examples/products.csv" "$work/products.csv"
type_text "$work/products.csv"
key F5
done_box=$(wait_window "Sorabi" 30) || fail "no completion message"
sleep 0.3
shot_root "$shots/5-done.png"
activate "$done_box"
key Return

# 5. The pages on disk.
folders=(20[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9])
[ "${#folders[@]}" -eq 1 ] && [ -d "${folders[0]}" ] || fail "no output folder: $(ls)"
count=$(find "${folders[0]}" -name '*.html' | wc -l)
[ "$count" -eq 25 ] || fail "expected 25 pages, found $count"
page=$(iconv -f SHIFT_JIS -t UTF-8 "${folders[0]}/A1001.html")
grep -qF '>暮らしの道具店 そらび</h1>' <<<"$page" || fail "site name missing from the page"
grep -qF '(10778円 [税込])' <<<"$page" || fail "tax-inclusive price missing"
grep -qF '/pc/header/003.jpg' <<<"$page" || fail "header picture missing"
[ -f articles.csv ] || fail "no working copy"

# 6. 終了 through the menu ends the program.
activate "$main"
key alt+f; key x
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end"
app_pid=
echo "PASS: 25 pages, screenshots in $shots"
