# Sourced by the Windows checks: the upload's test servers on 127.0.0.1,
# started by the script every caller uses (tests/servers/upload-servers) —
# vsftpd with FTPS (require_ssl_reuse=YES), the same vsftpd without TLS for
# plain FTP, and OpenSSH with its Ed25519 host key (libssh2 on OpenSSL has
# Ed25519, as on Linux). Needs root.
#   servers_start       sets up and starts them; sets server_user,
#                       server_password, server_home, ftp_port, ftps_port,
#                       sftp_port, ftps_fingerprint, sftp_fingerprint
#   servers_stop        ends them and removes the account (call it on exit)

servers_script=$(cd "$(dirname "${BASH_SOURCE[0]}")/../servers" && pwd)/upload-servers

servers_start() {
    local output name value
    servers_dir=$(mktemp -d /tmp/sorabi-servers.XXXXXX)
    output=$("$servers_script" start "$servers_dir" --user "sorabi-win$$" --plain-ftp \
        --owner $$) || return 1
    # Every NAME=VALUE line it prints becomes server_NAME.
    while IFS='=' read -r name value; do
        printf -v "server_$name" '%s' "$value"
    done <<<"$output"
    ftp_port=$server_ftp_port
    ftps_port=$server_ftps_port
    sftp_port=$server_sftp_port
    ftps_fingerprint=$server_ftps_fingerprint
    sftp_fingerprint=$server_sftp_fingerprint_ed25519
}

servers_stop() {
    [ -n "${servers_dir:-}" ] && { "$servers_script" stop "$servers_dir"; rm -rf "$servers_dir"; }
    servers_dir=
}
