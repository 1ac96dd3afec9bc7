# Sourced by the Windows checks: the upload's test servers on 127.0.0.1,
# started by the script every caller uses (tests/servers/upload-servers) —
# vsftpd with FTPS (require_ssl_reuse=YES, a self-signed certificate) and
# OpenSSH with its Ed25519 host key (libssh2 on OpenSSL has Ed25519, as on
# Linux). Needs root.
#   servers_start       sets up and starts them; sets server_NAME for every
#                       NAME=VALUE line the script prints (server_user,
#                       server_password, server_home, server_ftps_cert_sha256,
#                       server_sftp_fingerprint, …), ftps_port, sftp_port
#   servers_do COMMAND KIND  kill, restart or renew-key one server (ftps, sftp);
#                       renew-key sets the server_NAME values again
#   servers_stop        ends them and removes the account (call it on exit)

servers_script=$(cd "$(dirname "${BASH_SOURCE[0]}")/../servers" && pwd)/upload-servers

# Every NAME=VALUE line on stdin becomes server_NAME.
servers_read() {
    local name value
    while IFS='=' read -r name value; do
        printf -v "server_$name" '%s' "$value"
    done
}

servers_start() {
    local output
    servers_dir=$(mktemp -d /tmp/sorabi-servers.XXXXXX)
    output=$("$servers_script" start "$servers_dir" --user "sorabi-win$$" \
        --owner $$) || return 1
    servers_read <<<"$output"
    ftps_port=$server_ftps_port
    sftp_port=$server_sftp_port
}

servers_do() {
    local output
    output=$("$servers_script" "$1" "$servers_dir" "$2") || fail "upload-servers $1 $2 failed"
    [ "$1" != renew-key ] || servers_read <<<"$output"
}

servers_stop() {
    [ -n "${servers_dir:-}" ] && { "$servers_script" stop "$servers_dir"; rm -rf "$servers_dir"; }
    servers_dir=
}
