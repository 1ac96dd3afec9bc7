# Sourced by check.sh after desktop.sh and upload.sh: the desktop program's
# upload, in the portable folder that desktop.sh filled, worked with xdotool.
#   1. アップロード設定... shows the destination read from option.ini (FTPS);
#      the password typed there is saved into the Credential Manager
#      (QtKeychain);
#   2. FTPS: F6, the folder question, no password asked (it comes from the
#      Credential Manager), the unknown certificate's question answered
#      はい, the summary of what will change answered 送信 (Enter, its
#      default button), the completion message; the server holds the
#      output folder;
#   3. SFTP: F6, the folder question, the password asked (none stored for
#      that destination), the unknown host key's question answered はい,
#      the summary answered 送信, the completion message; the server holds
#      the output folder.
# Each step fails the check when its window does not come.
# Screenshots: upload-*.png in $shots.
#
# Needs: from check.sh work, shots, wine_bin; wait_window, window_gone,
#   activate, key, type_text, shot_root, fail, pass. From desktop.sh
#   portable and title; from upload.sh the running servers (server_password,
#   server_home, ftps_port, sftp_port) and upload_settings.
# Provides: nothing the others use (it leaves option.ini set to SFTP).

upload_folder=("$portable"/20[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9])
upload_folder=${upload_folder[0]}
[ -d "$upload_folder" ] || fail "desktop upload: no output folder"
rm -f "$portable/upload/trusted-keys.txt"
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

# upload_to NAME: F6, the folder question, [the password,] the key question
# answered はい, the summary answered 送信, the completion message; the
# server holds the output folder.
upload_to() {
    activate "$main"
    key F6
    answer alt+y "upload-$1-1-folder.png"    # 出力フォルダ「…」をアップロードしますか？
    [ "$1" = ftps ] || password "upload-$1-2-password.png"
    answer alt+y "upload-$1-3-key.png"       # the certificate or host key: はい
    answer Return "upload-$1-4-summary.png"  # サーバーのページと比べました。…: 送信
    answer Return "upload-$1-5-done.png"     # アップロードが終わりました。
    diff -r "$upload_folder" "$server_home/desktop-$1" >/dev/null ||
        fail "desktop $1: the server's pages differ from the output folder"
}
# 2. FTPS with the saved password; 3. SFTP.
upload_to ftps
grep -qF "$server_ftps_cert_sha256" "$portable/upload/trusted-keys.txt" || fail "desktop: certificate not remembered"
cp "$work/option-site.ini" "$portable/option.ini"
upload_settings "$portable" sftp "$sftp_port" desktop-sftp
upload_to sftp
grep -qF "$server_sftp_fingerprint" "$portable/upload/trusted-keys.txt" || fail "desktop: host key not remembered"
activate "$main"
key alt+f; key x
for _ in $(seq 100); do kill -0 "$desktop_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$desktop_pid" 2>/dev/null && fail "the program did not end"
pass "desktop upload: settings window saved the password in the Credential Manager;" \
    "F6 to FTPS with it and F6 to SFTP, certificate and host key trusted with はい," \
    "$(find "$upload_folder" -type f | wc -l) pages identical on the server each time (screenshots upload-*.png)"
