# The upload's test servers for the shell tests, through the one script that
# starts them for every caller (tests/servers/upload-servers: vsftpd for FTPS
# with require_ssl_reuse=YES, OpenSSH's sshd for SFTP, a throwaway account on
# 127.0.0.1). Needs root. Sourced by tests/e2e/upload.sh and scripts/screenshots.
#
#   servers_missing     prints what this machine lacks for them, if anything
#   start_servers DIR [FTPS_PORT SFTP_PORT] [-- SCRIPT_OPTIONS…]
#                       starts them, keeping their files in DIR, on free ports
#                       unless given; the account is srv_user if set (it must
#                       not exist yet). Sets srv_user, srv_password, srv_home,
#                       ftps_port, sftp_port, ftps_fingerprint (the certificate's
#                       SHA-256, AB:CD:…), sftp_fingerprint
#                       (the Ed25519 host key's, SHA256:… as OpenSSH prints
#                       it), and srv_NAME for every NAME=VALUE line the script
#                       prints (srv_sftp_fingerprint_rsa, srv_ftps_log, …).
#                       With srv_plain_ftp=1 a vsftpd without TLS listens on
#                       ftp_port too.
#   stop_servers        ends them and removes the account (from the EXIT trap)

upload_servers=$(cd "$(dirname "${BASH_SOURCE[0]}")/../servers" && pwd)/upload-servers

servers_missing() { "$upload_servers" missing; }

start_servers() {
    local dir=$1 options=() name value output
    shift
    [ $# -ge 2 ] && [ "$1" != -- ] && { options+=(--ftps-port "$1" --sftp-port "$2"); shift 2; }
    [ "${1:-}" = -- ] && shift
    options+=("$@")
    [ -n "${srv_user:-}" ] && options+=(--user "$srv_user")
    [ -n "${srv_plain_ftp:-}" ] && options+=(--plain-ftp)
    srv_dir=$dir
    output=$("$upload_servers" start "$dir" --owner $$ "${options[@]}") || return 1
    while IFS='=' read -r name value; do
        printf -v "srv_$name" '%s' "$value"
    done <<<"$output"
    ftps_port=$srv_ftps_port
    sftp_port=$srv_sftp_port
    ftp_port=${srv_ftp_port:-}
    ftps_fingerprint=$srv_ftps_cert_sha256
    sftp_fingerprint=$srv_sftp_fingerprint
}

stop_servers() {
    [ -n "${srv_dir:-}" ] && "$upload_servers" stop "$srv_dir"
    srv_dir=
    return 0
}
