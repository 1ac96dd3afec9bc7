# Sourced by check.sh: the installer run silently (/S) as a user without
# administrator rights; the installed program, which keeps its data in
# %USERPROFILE%\Sorabi and names the output folder when done; the silent
# uninstaller, which removes the program and leaves the data.
#
# Needs: from check.sh win_build, version, work, app, root, shots, wine_bin,
#   WINEPREFIX; wine_run, wine_wait, wine_user_dir, win_path, wait_window,
#   activate, key, type_text, shot_root, fail, pass. From desktop.sh title
#   and $work/products.csv.
# Provides: nothing.

user_dir=$(wine_user_dir)
install_dir=$user_dir/AppData/Local/Programs/Sorabi
data_dir=$user_dir/Sorabi
start_menu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Sorabi.lnk"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sorabi'
rm -rf "$install_dir" "$data_dir"

# Its pages end with the product's own line ("Sorabi <version>"), not
# "Nullsoft Install System v…". The installer keeps its strings compressed,
# so the script that made it is what tells.
grep -q '^BrandingText "${PRODUCT} ${VERSION}"' "$root/packaging/windows/installer.nsi" ||
    fail "the installer shows NSIS's branding: BrandingText missing from installer.nsi"
pass "the installer's branding text is the product's own"

# Started by hand it speaks Japanese (screenshot); cancelled, it installs nothing.
(cd "$work" && exec "$wine_bin" "$win_build/Sorabi-$version-setup.exe" >/dev/null 2>&1) &
setup_pid=$!
setup=$(wait_window "Sorabi ${version//./\\.} セットアップ" 30) || fail "no installer window"
sleep 1
shot_root "$shots/7-installer.png"
activate "$setup"
key Escape
sleep 1
shot_root "$shots/8-installer-cancel.png"
key Return
for _ in $(seq 100); do kill -0 "$setup_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$setup_pid" 2>/dev/null && fail "the cancelled installer did not end"
[ ! -e "$install_dir" ] || fail "the cancelled installer left $install_dir"

(cd "$work" && wine_run "$win_build/Sorabi-$version-setup.exe" /S) || fail "the installer failed"
wine_wait
for f in sorabi.exe sorabi-batch.exe readme-ja.txt uninstall.exe sample/products.csv sample/option.ini; do
    [ -f "$install_dir/$f" ] || fail "not installed: $f"
done
cmp -s "$install_dir/sorabi.exe" "$app/sorabi.exe" || fail "the installed sorabi.exe is not the zip's"
[ -f "$start_menu" ] || fail "no Start menu shortcut"
desktop_link=$(find "$user_dir" -maxdepth 2 -path '*/Desktop/Sorabi.lnk' | head -n 1)
[ -n "$desktop_link" ] || fail "no desktop shortcut"
wine_run reg query "$uninstall_key" /v DisplayVersion 2>/dev/null | tr -d '\r' | grep -q "$version" ||
    fail "no entry under $uninstall_key"
windows_install_dir=C:${install_dir#"$WINEPREFIX/drive_c"}
pass "installed silently into ${windows_install_dir//\//\\}, shortcuts and uninstall entry made"

# The installed program: settings from an earlier use, a run, the message.
mkdir -p "$data_dir"
cp "$root/examples/option.ini" "$data_dir/option.ini"
(cd "$work" && exec "$wine_bin" "$install_dir/sorabi.exe" >"$work/installed.log" 2>&1) &
installed_pid=$!
main=$(wait_window "$title" 30) || fail "the installed program shows no main window"
sleep 1
activate "$main"
type_text "$(win_path "$work/products.csv")"
key F5
done_box=$(wait_window "Sorabi" 60) || fail "installed: no completion message"
sleep 0.5
shot_root "$shots/6-installed-done.png"
activate "$done_box"
key Return
folders=("$data_dir"/20[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9])
[ "${#folders[@]}" -eq 1 ] && [ -d "${folders[0]}" ] || fail "installed: no output folder in %USERPROFILE%\\Sorabi"
[ "$(find "${folders[0]}" -name '*.html' | wc -l)" -eq 25 ] || fail "installed: not 25 pages"
[ -f "$data_dir/articles.csv" ] || fail "installed: no working copy in %USERPROFILE%\\Sorabi"
[ -z "$(find "$install_dir" -name '20*' -o -name articles.csv -o -name option.ini -maxdepth 1)" ] ||
    fail "installed: data written into the program's folder"
activate "$main"
key alt+f; key x
for _ in $(seq 100); do kill -0 "$installed_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$installed_pid" 2>/dev/null && fail "the installed program did not end"
pass "installed program: data in %USERPROFILE%\\Sorabi, 25 pages"

(cd "$work" && wine_run "$install_dir/uninstall.exe" /S) || fail "the uninstaller failed"
# The uninstaller goes on from a copy of itself; wait for it.
wine_wait
[ ! -e "$install_dir" ] || fail "uninstalled, but left: $(find "$install_dir" | head -n 5)"
[ ! -e "$start_menu" ] && [ ! -e "$desktop_link" ] || fail "uninstalled, but the shortcuts remain"
wine_run reg query "$uninstall_key" >/dev/null 2>&1 && fail "uninstalled, but the uninstall entry remains"
[ -f "$data_dir/option.ini" ] && [ -d "${folders[0]}" ] || fail "the uninstaller removed the user's data"
pass "uninstalled silently; %USERPROFILE%\\Sorabi with settings and pages kept"
