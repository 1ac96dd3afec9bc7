#!/usr/bin/env bash
# Works the real program in a real X server as a user would, against a real
# SFTP server (sshd) and FTPS server (vsftpd) on 127.0.0.1: pages made with
# F5, the destination typed into "アップロード設定...", F6, the folder
# question (the newest folder for SFTP, another one picked through 参照 for
# FTPS), the password prompt (a bare X server has no credential store), the
# host-key or certificate question, the summary of what will change (送信 by
# Enter, then by its Alt key), the completion message, and every file on the
# server byte for byte. Needs root (the servers' throwaway account).
# Exits 77 (skipped) where the servers cannot run.
# Usage: SORABI_VERSION=<project version> upload.sh SORABI_BINARY EXAMPLES_DIR [SCREENSHOT_DIR]
set -euo pipefail
source "$(dirname "$0")/harness.sh"
source "$(dirname "$0")/servers.sh"
missing=$(servers_missing)
[ -z "$missing" ] || { echo "SKIP: needs $missing (scripts/deps installs the servers)"; exit 77; }

take_arguments "$@"
servers=$(mktemp -d)
cleanup() {
    # What the program and the servers said, for a failure.
    [ "$?" -eq 0 ] || cp "$work/log.txt" "$servers"/*.log "$shots/" 2>/dev/null || true
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
    stop_x
    stop_servers
    rm -rf "$work" "$servers"
}
trap cleanup EXIT

start_servers "$servers" || fail "the servers did not start"
start_x 1280x1024x24

# The program in a folder of its own with the sample shop's settings. Its
# messages are logged too, which is how this script reads them; without a
# session bus there is no credential store, as on any bare X server.
cp "$binary" "$work/sorabi"
cp "$examples/option.ini" "$examples/products.csv" "$work/"
cd "$work"
unset DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 QT_LOGGING_RULES="sorabi.message.info=true"
./sorabi >"$work/log.txt" 2>&1 &
app_pid=$!
message_log=$work/log.txt

# 1. The pages, made with F5.
main=$(wait_window "$main_title" 15) || fail "no main window"
activate "$main"
prime_keyboard
type_text "$work/products.csv"
key F5
answer "ホームページを作成しました。" 30 Return
folders=(20[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9])
[ "${#folders[@]}" -eq 1 ] && [ -d "${folders[0]}" ] || fail "no output folder: $(ls)"
pages=$work/${folders[0]}
[ "$(ls "$pages" | wc -l)" -eq 25 ] || fail "expected 25 pages in $pages"
# Another folder for the FTPS upload, picked through 参照: one page fewer.
cp -r "$pages" "$work/picked"
rm "$work/picked/A1001.html"

# Opens アップロード設定 from the Option menu and types a destination over
# what it shows.
set_destination() { # key for the protocol list (Up, Down), port, remote folder, shot name
    activate "$main"
    key alt+o
    key Down
    key Return
    local window
    window=$(wait_window "アップロード設定" 10) || fail "no アップロード設定 window"
    activate "$window"
    key "$1"; key Return
    key ctrl+a; type_text 127.0.0.1; key Return
    key ctrl+a; type_text "$2"; key Return
    key ctrl+a; type_text "$srv_user"; key Return
    key ctrl+a; type_text "$srv_password"; key Return
    key ctrl+a; type_text "$3"; key Return
    key Return                                  # 同時接続数 left empty: 4
    shot_root "$shots/$4.png"
    key Return                                  # past 接続テスト to 保存
    key space
    # No credential store: the password is not kept, and the user is told so.
    answer "パスワードは保管できませんでした" 15 Return
    answer "保存しました。" 10 Return
    wait_gone "$window"
}

# F6's question, which names the folder on a line of its own.
confirm_folder() { # folder, key
    wait_message "のページをアップロードしますか？" 10
    grep -qxF -- "$1" <<<"$last_message" || fail "the question names another folder: $last_message"
    key "$2"
    wait_gone "$box"
}

# The summary before sending: its counts, then 送信 by the key given.
confirm_summary() { # counts, key, [shot name]
    wait_message "サーバーのページと比べました。" 30
    grep -qF -- "$1" <<<"$last_message" || fail "the summary says otherwise: $last_message"
    [ -z "${3:-}" ] || shot_root "$shots/$3.png"
    key "$2"
    wait_gone "$box"
}

# The password prompt: the password typed, Enter.
password_prompt() {
    wait_message "$srv_user@127.0.0.1 のパスワード:" 15
    type_text "$srv_password"
    key Return
    wait_gone "$box"
}

# 2. SFTP: the newest folder, as F6 offers it.
set_destination Down "$sftp_port" www-sftp 1-sftp-settings
activate "$main"
key F6
confirm_folder "$pages" y
password_prompt
answer "$sftp_fingerprint" 30 y
confirm_summary "新規 25 ページ" Return 2-sftp-summary
shot_root "$shots/2-sftp-progress.png"
answer "アップロードが終わりました。" 60 Return
grep -qF "送信 25 ページ" <<<"$last_message" || fail "completion message: $last_message"
grep -qF "失敗 0 ページ" <<<"$last_message" || fail "completion message: $last_message"
diff -r "$pages" "$srv_home/www-sftp" || fail "the SFTP server's files differ from the pages"

# 3. FTPS: another folder, picked through 参照.
set_destination Up "$ftps_port" www-ftps 3-ftps-settings
activate "$main"
key F6
confirm_folder "$pages" b
dialog=$(wait_window "アップロードするフォルダを選んでください。" 10) || fail "no folder dialog"
activate "$dialog"
shot_root "$shots/4-folder-dialog.png"
type_text "$work/picked"
key Return
confirm_folder "$work/picked" y
password_prompt
answer "$ftps_fingerprint" 30 y
confirm_summary "新規 24 ページ" alt+s
answer "アップロードが終わりました。" 60 Return
grep -qF "送信 24 ページ" <<<"$last_message" || fail "completion message: $last_message"
diff -r "$work/picked" "$srv_home/www-ftps" || fail "the FTPS server's files differ from the picked folder"

# 4. The password is in no file of the program's and in nothing it said;
# the keys it was told to trust are remembered.
grep -rqF -- "$srv_password" option.ini upload log.txt && fail "the password was written down"
grep -qF -- "$sftp_fingerprint" upload/trusted-keys.txt || fail "host key not remembered"
grep -qF -- "$ftps_fingerprint" upload/trusted-keys.txt || fail "certificate not remembered"

activate "$main"
key alt+f; key x
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end"
app_pid=
echo "PASS: 25 pages over SFTP, 24 from a picked folder over FTPS, screenshots in $shots"
