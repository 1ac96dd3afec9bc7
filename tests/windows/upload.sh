# Sourced by check.sh: sorabi-batch.exe upload from the unzipped folder to
# real servers on 127.0.0.1 (upload-servers.sh), for FTPS and SFTP, each
# step failing the check when it does not happen:
#   1. the unknown certificate or host key stops the upload, nothing sent,
#      with the fingerprint openssl or ssh-keygen works out, the one the
#      Linux sorabi-batch prints for the same server;
#   2. a wrong password (with --trust) exits 1 with the Japanese message;
#   3. the first upload sends every page over 4 connections, byte for byte
#      on the server;
#   4. after one page changed, the next sends only it;
#   5. the server killed mid-upload, then restarted: the next upload sends
#      exactly the pages the broken one had not, and the folders are equal;
#   6. a new certificate or host key is refused, nothing sent.
#
# Needs (check.sh): here, work, app, wine_bin, host_batch, and the example's
#   pages that compare_batch made in $work/windows/example; win_path, fail, pass.
# Provides: the servers, running until check.sh's clean-up (servers_stop):
#   server_user, server_password, server_home, ftps_port, sftp_port,
#   servers_do; upload_settings DIR PROTOCOL PORT [FOLDER].

source "$here/upload-servers.sh"
servers_start || fail "the upload servers did not start"
example=$(echo "$work"/windows/example/20*/)
[ -d "$example" ] || fail "upload: no pages of the example to send"

# upload_settings DIR PROTOCOL PORT [FOLDER]: the [UPLOAD] section, as the settings window writes it.
upload_settings() {
    mkdir -p "$1"
    printf '[UPLOAD]\r\nPROTOCOL=%s\r\nHOST=127.0.0.1\r\nPORT=%s\r\nUSER=%s\r\nFOLDER=%s\r\n' \
        "$2" "$3" "$server_user" "${4:-$2}" >>"$1/option.ini"
}
# upload_batch DIR EXPECTED_STATUS [ARGUMENTS...]: DIR/pages sent with the
# settings in DIR; stdout in DIR/stdout.txt, stderr as UTF-8 in DIR/stderr.txt,
# the last line ("sent N, unchanged N, …") in $sent.
upload_batch() {
    local dir=$1 expected=$2 status=0
    shift 2
    (cd "$dir" && SORABI_UPLOAD_PASSWORD=${upload_password:-$server_password} timeout 300 \
        "$wine_bin" "$app/sorabi-batch.exe" upload --settings "$(win_path "$dir/option.ini")" \
        "$@" "$(win_path "$dir/pages")" >stdout.txt 2>stderr.cp932) || status=$?
    iconv -f CP932 -t UTF-8 "$dir/stderr.cp932" | tr -d '\r' >"$dir/stderr.txt"
    sent=$(tail -n 1 "$dir/stdout.txt" | tr -d '\r')
    [ "$expected" = any ] || [ "$status" -eq "$expected" ] ||
        fail "upload ${dir##*/} $*: exit status $status, not $expected: $(cat "$dir/stderr.txt")"
}
# expect_sent DIR WHAT N: the last upload sent N pages and the server holds DIR/pages.
expect_sent() {
    [[ "$sent" == "sent $3, "* ]] || fail "$2: '$sent', not $3 sent: $(cat "$1/stderr.txt")"
    diff -r "$1/pages" "$remote" >/dev/null || fail "$2: the server's pages differ"
}
# The fingerprint that stderr (file $1) asks to pass to --trust.
trust_asked() { grep -o -- '--trust [^ ]*' "$1" | head -n 1 | cut -d ' ' -f 2; }

while read -r protocol port key; do
    dir=$work/upload-$protocol
    remote=$server_home/$protocol
    upload_settings "$dir" "$protocol" "${!port}"
    cp -r "$example" "$dir/pages"
    pages=$(find "$dir/pages" -type f | wc -l)
    fingerprint=${!key}

    # 1. Unknown key: stopped, with the fingerprint the Linux build shows.
    upload_batch "$dir" 1
    shown=$(trust_asked "$dir/stderr.txt")
    grep -qF "フィンガープリント: $fingerprint" "$dir/stderr.txt" && [ "$shown" = "$fingerprint" ] ||
        fail "$protocol: the unknown key's fingerprint $fingerprint is not shown: $(cat "$dir/stderr.txt")"
    [ -z "$(ls -A "$remote" 2>/dev/null)" ] || fail "$protocol: pages sent to an untrusted server"
    upload_settings "$dir/linux" "$protocol" "${!port}"
    (cd "$dir/linux" && SORABI_UPLOAD_PASSWORD=$server_password LC_ALL=C.UTF-8 \
        "$host_batch" upload --settings option.ini "$dir/pages" >stdout.txt 2>stderr.txt) &&
        fail "$protocol: the Linux build did not stop"
    [ "$(trust_asked "$dir/linux/stderr.txt")" = "$shown" ] ||
        fail "$protocol: Linux shows $(trust_asked "$dir/linux/stderr.txt"), Windows $shown"
    echo "  $protocol unknown key (Windows and Linux): $(grep 'フィンガープリント:' "$dir/stderr.txt")"

    # 2. Wrong password, the key trusted: Japanese, exit status 1.
    upload_password=wrong upload_batch "$dir" 1 --trust "$fingerprint"
    grep -q 'ログインできませんでした' "$dir/stderr.txt" ||
        fail "$protocol: wrong password: $(cat "$dir/stderr.txt")"
    echo "  $protocol wrong password: $(head -n 2 "$dir/stderr.txt" | tr '\n' ' ')"

    # 3. First upload (the key remembered) over the default 4 connections, 4. one page changed.
    upload_batch "$dir" 0
    expect_sent "$dir" "$protocol first upload" "$pages"
    tr -d '\r' <"$dir/stdout.txt" | grep -qx 'connections 4' ||
        fail "$protocol first upload: not over 4 connections: $(cat "$dir/stdout.txt")"
    echo "  $protocol first upload, 4 connections: $sent"
    changed=$(find "$dir/pages" -name '*.html' | head -n 1)
    echo '<!-- changed -->' >>"$changed"
    upload_batch "$dir" 0
    expect_sent "$dir" "$protocol after one page changed" 1
    echo "  $protocol one page changed: $sent"

    # 5. The server killed mid-upload (once 3 of 100 new files arrived), restarted.
    for i in $(seq 100 199); do head -c 300000 /dev/urandom >"$dir/pages/big-$i.bin"; done
    upload_batch "$dir" any --connections 1 &
    batch=$!
    for _ in $(seq 600); do
        [ "$(find "$remote" -name 'big-*.bin' | wc -l)" -ge 3 ] && break
        sleep 0.05
    done
    servers_do kill "$protocol"
    wait "$batch" || true
    sent=$(tail -n 1 "$dir/stdout.txt" | tr -d '\r')
    first=$(sed -n 's/^sent \([0-9]*\),.*/\1/p' <<<"$sent")
    [ -n "$first" ] && [ "$first" -ge 1 ] && [ "$first" -lt 100 ] ||
        fail "$protocol: the upload was not broken mid-way: '$sent' $(cat "$dir/stderr.txt")"
    echo "  $protocol server killed: $sent; $(head -n 1 "$dir/stderr.txt")"
    servers_do restart "$protocol"
    upload_batch "$dir" 0
    expect_sent "$dir" "$protocol after the restart" $((100 - first))
    echo "  $protocol after the restart: $sent"

    # 6. A new certificate or host key: refused, nothing sent.
    servers_do renew-key "$protocol"
    new=${!key}
    echo '<!-- changed again -->' >>"$changed"
    upload_batch "$dir" 1
    grep -q '変わって' "$dir/stderr.txt" && grep -qF "$new" "$dir/stderr.txt" && [ "$new" != "$fingerprint" ] ||
        fail "$protocol: the new key $new was not refused: $(cat "$dir/stderr.txt")"
    [[ "$sent" == "sent 0, "* ]] || fail "$protocol: pages sent after the key changed: $sent"
    echo "  $protocol key renewed: $(grep -m 1 '変わって' "$dir/stderr.txt")"
    pass "$protocol upload under Wine: unknown key stopped with $fingerprint (as on Linux)," \
        "wrong password refused, $pages pages identical over 4 connections, one change sent alone," \
        "resumed after the server was killed, a renewed key refused"
done <<'TABLE'
ftps ftps_port server_ftps_cert_sha256
sftp sftp_port server_sftp_fingerprint
TABLE
