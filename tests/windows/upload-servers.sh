# Sourced by the Windows checks: the upload test servers of the end-to-end
# tests (tests/e2e/servers.sh) on 127.0.0.1 — vsftpd with FTPS, the same
# vsftpd without TLS for plain FTP, and OpenSSH with its Ed25519 host key
# (libssh2 on OpenSSL has Ed25519, as on Linux).
# Needs root.
#   servers_start       sets up and starts them; sets server_user,
#                       server_password, server_home, ftp_port, ftps_port,
#                       sftp_port, ftps_fingerprint, sftp_fingerprint
#   servers_stop        ends them and removes the account (call it on exit)

source "$(dirname "${BASH_SOURCE[0]}")/../e2e/servers.sh"

servers_start() {
    servers_dir=$(mktemp -d /tmp/sorabi-servers.XXXXXX)
    srv_user=sorabi-win$$
    srv_plain_ftp=1
    start_servers "$servers_dir" || return 1
    server_user=$srv_user
    server_password=$srv_password
    server_home=$srv_home
}

servers_stop() {
    stop_servers
    [ -n "${servers_dir:-}" ] && rm -rf "$servers_dir"
    servers_dir=
}
