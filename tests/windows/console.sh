# Sourced by check.sh: sorabi-batch.exe in a console window, as a user
# types it at the command prompt: Japanese messages must be readable there,
# in the console's usual code page 932 and after `chcp 65001` too. The
# screenshot (console.png) shows it; the pages show that the run was made.
#
# Needs (check.sh): work, app, shots; win_path, wine_run, wait_window,
#   activate, key, shot_root, fail, pass.
# Provides: nothing the others use.

console_out=$work/console-out
mkdir -p "$console_out"
# A batch file in plain ASCII; cmd reads it in the console's code page.
cat >"$work/console.bat" <<EOF
@echo off
title Sorabi console
cd /d $(win_path "$app")
sorabi-batch.exe --settings sample\\option.ini --output-dir $(win_path "$console_out") sample\\products.csv
echo exit status %ERRORLEVEL%
sorabi-batch.exe missing.csv
echo exit status %ERRORLEVEL%
chcp 65001
sorabi-batch.exe
echo exit status %ERRORLEVEL%
pause
EOF
sed -i 's/$/\r/' "$work/console.bat"
wine_run start /wait cmd /c "$(win_path "$work/console.bat")" >/dev/null 2>&1 &
console_pid=$!
console=$(wait_window "Sorabi console" 30) || fail "no console window"
for _ in $(seq 100); do
    [ "$(find "$console_out" -name '*.html' | wc -l)" -eq 25 ] && break
    sleep 0.2
done
[ "$(find "$console_out" -name '*.html' | wc -l)" -eq 25 ] || fail "console: not 25 pages"
sleep 2
shot_root "$shots/console.png"
activate "$console"
key Return
for _ in $(seq 100); do kill -0 "$console_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$console_pid" 2>/dev/null && fail "the console did not close"
pass "sorabi-batch.exe in a console: 25 pages (messages in $shots/console.png)"
