# Sourced by check.sh: sorabi-batch.exe upload from the unzipped folder to
# real servers on 127.0.0.1 (upload-servers.sh), per protocol: a changed
# server key stops the upload with its SHA256: fingerprint, the one openssl
# or ssh-keygen works out, and sends nothing; --trust then lets it through
# and the server holds the pages byte for byte; a second upload sends
# nothing; a wrong password fails with exit status 1 and a Japanese message.
#
# Wine 8.0 falls short of Windows in three places; the checks go around
# them and say so rather than hide them:
#   - its TLS (Schannel) accepts any certificate, so a self-signed one is not
#     refused on first contact as Windows refuses it. The pinned key (a
#     trusted certificate that changed) is libcurl's own check, and is checked.
#   - its TLS does not recognise the server's closing of a connection
#     (close_notify), and vsftpd waits for the client's: every FTPS download,
#     the folder listing too, waits until the timeout. So FTPS is checked up
#     to the login, and the transfer itself through plain FTP, the same code
#     but for TLS.
#   - its bcrypt has no Diffie-Hellman, no ECDH agreement and no raw RSA, so
#     no SSH key exchange through WinCNG can succeed: SFTP must fail cleanly,
#     in Japanese.
# Should a later Wine manage FTPS or SFTP, the whole sequence is checked.
#
# Needs (check.sh): here, work, app, wine_bin, and the example's pages that
#   compare_batch made in $work/windows/example; win_path, fail, pass.
# Provides: the servers, running until check.sh's clean-up (servers_stop):
#   server_user, server_password, server_home, ftp_port, ftps_port,
#   sftp_port, ftps_fingerprint, sftp_fingerprint; upload_settings DIR
#   PROTOCOL PORT [FOLDER]; upload_batch; pages, page_count.

source "$here/upload-servers.sh"
servers_start || fail "the upload servers did not start"
pages=$(echo "$work"/windows/example/20*/)
pages=${pages%/}
[ -d "$pages" ] || fail "upload: no pages of the example to send"
page_count=$(find "$pages" -type f | wc -l)

# upload_batch DIR EXPECTED_STATUS [ARGUMENTS...]: the upload with the
# settings in DIR; its stdout in DIR/stdout.txt, stderr as UTF-8 in DIR/stderr.txt.
upload_batch() {
    local dir=$1 expected=$2 status=0
    shift 2
    (cd "$dir" && SORABI_UPLOAD_PASSWORD=${upload_password:-$server_password} timeout 300 \
        "$wine_bin" "$app/sorabi-batch.exe" upload --settings "$(win_path "$dir/option.ini")" \
        "$@" "$(win_path "$pages")" >stdout.txt 2>stderr.cp932) || status=$?
    iconv -f CP932 -t UTF-8 "$dir/stderr.cp932" >"$dir/stderr.txt"
    [ "$expected" = any ] || [ "$status" -eq "$expected" ] ||
        fail "upload ${dir##*/} $*: exit status $status, not $expected: $(cat "$dir/stderr.txt")"
}
# upload_settings DIR PROTOCOL PORT: the [UPLOAD] section, as the settings window writes it.
upload_settings() {
    mkdir -p "$1"
    printf '[UPLOAD]\r\nPROTOCOL=%s\r\nHOST=127.0.0.1\r\nPORT=%s\r\nUSER=%s\r\nFOLDER=%s\r\n' \
        "$2" "$3" "$server_user" "${4:-$2}" >>"$1/option.ini"
}

#        protocol port          key kind  its fingerprint     what Wine 8.0 cannot do (stderr)
while read -r protocol port kind fingerprint gap; do
    dir=$work/upload-$protocol
    upload_settings "$dir" "$protocol" "${!port}"
    done_what=
    if [ "$kind" != - ]; then
        fingerprint=${!fingerprint}
        # A key trusted before, which the server no longer shows.
        mkdir -p "$dir/upload"
        printf '%s 127.0.0.1:%s SHA256:%s\n' "$kind" "${!port}" "$(printf '%043d' 0)" \
            >"$dir/upload/trusted-keys.txt"
        upload_batch "$dir" 1
        if grep -qF -- "$gap" "$dir/stderr.txt"; then
            grep -q 'アップロードに失敗しました' "$dir/stderr.txt" || fail "$protocol: no Japanese message"
            echo "NOT VERIFIED under Wine: $protocol key exchange; it fails cleanly:" \
                "$(tr '\n' ' ' <"$dir/stderr.txt")"
            continue
        fi
        grep -qF "$fingerprint" "$dir/stderr.txt" && grep -q '変わって' "$dir/stderr.txt" ||
            fail "$protocol: the changed key's fingerprint $fingerprint is not shown: $(cat "$dir/stderr.txt")"
        [ -z "$(ls -A "$server_home/$protocol" 2>/dev/null)" ] || fail "$protocol: pages sent to an untrusted server"
        done_what="changed key stopped with $fingerprint"
        trust=(--trust "$fingerprint")
    else
        trust=()
    fi

    upload_password=wrong upload_batch "$dir" 1 "${trust[@]}"
    grep -q 'ログインできませんでした' "$dir/stderr.txt" ||
        fail "$protocol: wrong password: $(cat "$dir/stderr.txt")"
    done_what="${done_what:+$done_what, }wrong password refused in Japanese"

    upload_batch "$dir" any "${trust[@]}"
    if grep -qF -- "$gap" "$dir/stderr.txt"; then
        echo "NOT VERIFIED under Wine: the $protocol transfer (times out in Wine's TLS): $(head -n 1 "$dir/stderr.txt")"
        pass "$protocol upload: $done_what"
        continue
    fi
    grep -qx "sent $page_count, unchanged 0, deleted 0, failed 0"$'\r' "$dir/stdout.txt" ||
        fail "$protocol: first upload: $(cat "$dir/stdout.txt" "$dir/stderr.txt")"
    diff -r "$pages" "$server_home/$protocol" >/dev/null || fail "$protocol: the server's pages differ"
    upload_batch "$dir" 0
    grep -qx "sent 0, unchanged $page_count, deleted 0, failed 0"$'\r' "$dir/stdout.txt" ||
        fail "$protocol: second upload: $(cat "$dir/stdout.txt")"
    pass "$protocol upload: $done_what, $page_count pages identical on the server, second upload sent 0"
done <<'TABLE'
ftp  ftp_port  -   -                 -no-gap-
ftps ftps_port tls ftps_fingerprint  タイムアウト
sftp sftp_port ssh sftp_fingerprint  Unable to exchange encryption keys
TABLE
