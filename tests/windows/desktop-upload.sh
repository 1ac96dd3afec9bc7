# Sourced by check.sh after desktop.sh and upload.sh: the desktop program's
# upload, in the portable folder that desktop.sh filled, worked with xdotool.
#   1. アップロード設定... shows the destination read from option.ini; the
#      password typed there is saved into the Credential Manager (QtKeychain);
#   2. FTPS to a server whose certificate changed: F6, the folder question,
#      no password asked (it comes from the Credential Manager), the question
#      about the certificate, answered no: nothing is sent;
#   3. plain FTP: F6, the folder question, the password asked (none stored
#      for that destination), the completion message; the server holds the
#      output folder byte for byte.
# FTPS and SFTP transfers themselves are out of Wine's reach (upload.sh).
# Screenshots: upload-*.png in $shots.
#
# Needs: from check.sh work, shots, wine_bin; wait_window, window_gone,
#   activate, key, type_text, shot_root, fail, pass. From desktop.sh
#   portable and title; from upload.sh the running servers (server_password,
#   server_home, ftp_port, ftps_port) and upload_settings.
# Provides: nothing the others use (it leaves option.ini set to plain FTP).

upload_folder=("$portable"/20[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9])
upload_folder=${upload_folder[0]}
[ -d "$upload_folder" ] || fail "desktop upload: no output folder"
printf '%s 127.0.0.1:%s SHA256:%s\n' tls "$ftps_port" "$(printf '%043d' 0)" >"$work/trusted-keys.txt"
mkdir -p "$portable/upload"
cp "$work/trusted-keys.txt" "$portable/upload/"
cp "$portable/option.ini" "$work/option-site.ini"
upload_settings "$portable" ftps "$ftps_port" desktop-ftps

(cd "$portable" && exec "$wine_bin" sorabi.exe >"$work/desktop-upload.log" 2>&1) &
desktop_pid=$!
main=$(wait_window "$title" 30) || fail "desktop upload: no main window"
sleep 1

# The next message box or password prompt (all titled Sorabi); then gone,
# though the next one may follow at once.
next_box() {
    wait_window "Sorabi" "${1:-60}" || fail "desktop upload: no message box"
}
box_gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '^Sorabi$' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    fail "desktop upload: a message box stayed open"
}
# answer KEY [SHOT]: the next box answered with KEY.
answer() {
    local box
    box=$(next_box)
    sleep 0.5
    [ -z "${2:-}" ] || shot_root "$shots/$2"
    activate "$box"
    key "$1"
    box_gone "$box"
}
# password [SHOT]: the password typed into the prompt.
password() {
    local box
    box=$(next_box 30)
    activate "$box"
    type_text "$server_password"
    [ -z "${1:-}" ] || shot_root "$shots/$1"
    key Return
    box_gone "$box"
}

# 1. The settings window, filled from option.ini.
activate "$main"
key alt+o; key Down; key Return
upload_window=$(wait_window "アップロード設定" 10) || fail "no アップロード設定 window"
sleep 0.5
activate "$upload_window"
key Tab; key Tab; key Tab; key Tab           # to パスワード
type_text "$server_password"
shot_root "$shots/upload-1-settings.png"
key Return; key Return; key Return; key Return  # Enter moves on: リモートフォルダ, 同時接続数, 接続テスト, 保存
key space                                    # 保存
answer Return upload-1-saved.png             # 保存しました。
window_gone "アップロード設定" 10 || fail "アップロード設定 did not close"

# 2. FTPS, certificate changed: refused, nothing sent.
activate "$main"
key F6
answer alt+y upload-2-folder.png             # 出力フォルダ「…」をアップロードしますか？
answer alt+n upload-3-certificate.png        # the certificate changed: not trusted
answer Return upload-4-refused.png           # the refusal
[ -z "$(ls -A "$server_home/desktop-ftps" 2>/dev/null)" ] || fail "desktop: pages sent to an untrusted server"

# 3. Plain FTP, to the end.
cp "$work/option-site.ini" "$portable/option.ini"
upload_settings "$portable" ftp "$ftp_port" desktop-ftp
activate "$main"
key F6
answer alt+y
password upload-5-password.png
answer Return upload-6-done.png              # アップロードが終わりました。
diff -r "$upload_folder" "$server_home/desktop-ftp" >/dev/null ||
    fail "desktop: the server's pages differ from the output folder"
activate "$main"
key alt+f; key x
for _ in $(seq 100); do kill -0 "$desktop_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$desktop_pid" 2>/dev/null && fail "the program did not end"
pass "desktop upload: settings window saved the password in the Credential Manager, F6 to FTPS" \
    "with it and a changed certificate refused," \
    "F6 to FTP: $(find "$upload_folder" -type f | wc -l) pages identical on the server (screenshots upload-*.png)"
