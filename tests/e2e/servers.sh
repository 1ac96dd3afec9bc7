# A real FTPS server (vsftpd) and SFTP server (OpenSSH) on 127.0.0.1, as
# tests/common/uploadservers.h starts them for the unit tests: a throwaway
# account, a self-signed certificate, a generated host key. Needs root.
# Sourced by tests/e2e/upload.sh, scripts/screenshots and the Windows checks.
#
#   servers_missing     prints what this machine lacks for them, if anything
#   start_servers DIR [FTPS_PORT SFTP_PORT]
#                       starts both, keeping their files in DIR, on free ports
#                       unless given; the account is srv_user if set (it must
#                       not exist yet); sets srv_user, srv_password, srv_home,
#                       ftps_port, sftp_port, ftps_fingerprint,
#                       sftp_fingerprint (SHA256:…, as OpenSSH prints it)
#                       With srv_rsa_key=1 the SSH server has an RSA host key
#                       beside the Ed25519 one and sftp_fingerprint is the
#                       RSA key's (for a client without Ed25519);
#                       with srv_plain_ftp=1 a second vsftpd without TLS
#                       listens on ftp_port.
#   stop_servers        ends both and removes the account (from the EXIT trap)

srv_pids=()

servers_missing() {
    [ "$(id -u)" -eq 0 ] || { echo "root (for the throwaway account)"; return; }
    local tool
    for tool in /usr/sbin/vsftpd /usr/sbin/sshd openssl ssh-keygen useradd chpasswd userdel python3 ps; do
        command -v "$tool" >/dev/null || { echo "$tool"; return; }
    done
}

_free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

_wait_port() { # port
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

start_servers() {
    local dir=$1
    chmod 755 "$dir"
    srv_user=${srv_user:-sorabi-e2e$$}
    srv_password=Pw-$(head -c 12 /dev/urandom | base64 | tr -d '/+=')
    srv_home=$dir/home
    mkdir -p "$srv_home" "$dir/empty" /run/sshd
    if id "$srv_user" >/dev/null 2>&1; then
        echo "an account $srv_user exists already" >&2
        return 1
    fi
    useradd -M -d "$srv_home" -s /bin/sh "$srv_user"
    srv_account_made=1
    echo "$srv_user:$srv_password" | chpasswd
    chown "$srv_user" "$srv_home"

    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" \
        -days 2 -subj /CN=sorabi-e2e 2>/dev/null
    # The public key's SHA-256, as the program shows a certificate's fingerprint.
    ftps_fingerprint=SHA256:$(openssl x509 -in "$dir/cert.pem" -noout -pubkey \
        | openssl pkey -pubin -outform DER | openssl dgst -sha256 -binary | base64 | tr -d '=')
    ssh-keygen -q -t ed25519 -N '' -f "$dir/hostkey"
    sftp_fingerprint=$(ssh-keygen -l -E sha256 -f "$dir/hostkey.pub" | cut -d ' ' -f 2)
    local rsa_key=
    if [ -n "${srv_rsa_key:-}" ]; then
        ssh-keygen -q -t rsa -b 3072 -N '' -f "$dir/hostkey-rsa"
        sftp_fingerprint=$(ssh-keygen -l -E sha256 -f "$dir/hostkey-rsa.pub" | cut -d ' ' -f 2)
        rsa_key="HostKey $dir/hostkey-rsa"
    fi

    ftps_port=${2:-$(_free_port)}
    sftp_port=${3:-$(_free_port)}
    cat >"$dir/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$ftps_port
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=40000
pasv_max_port=60000
ssl_enable=YES
rsa_cert_file=$dir/cert.pem
rsa_private_key_file=$dir/key.pem
force_local_logins_ssl=YES
force_local_data_ssl=YES
require_ssl_reuse=NO
ssl_ciphers=HIGH
secure_chroot_dir=$dir/empty
seccomp_sandbox=NO
pam_service_name=vsftpd
xferlog_enable=YES
log_ftp_protocol=YES
vsftpd_log_file=$dir/vsftpd-protocol.log
connect_from_port_20=NO
userlist_enable=NO
max_per_ip=0
max_clients=0
CONF
    cat >"$dir/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $sftp_port
HostKey $dir/hostkey
$rsa_key
PidFile none
UsePAM no
PasswordAuthentication yes
KbdInteractiveAuthentication no
PubkeyAuthentication no
PermitRootLogin no
AllowUsers $srv_user
Subsystem sftp internal-sftp
ForceCommand internal-sftp
AllowTcpForwarding no
X11Forwarding no
StrictModes no
LogLevel VERBOSE
CONF
    # Disowned: the shell need not report their end.
    /usr/sbin/vsftpd "$dir/vsftpd.conf" >"$dir/vsftpd.log" 2>&1 &
    srv_pids+=($!)
    disown
    /usr/sbin/sshd -D -e -f "$dir/sshd_config" >"$dir/sshd.log" 2>&1 &
    srv_pids+=($!)
    disown
    if [ -n "${srv_plain_ftp:-}" ]; then
        ftp_port=$(_free_port)
        sed -e "s/^listen_port=.*/listen_port=$ftp_port/" -e '/^\(ssl_\|rsa_\|force_\)/d' \
            -e "s|^vsftpd_log_file=.*|vsftpd_log_file=$dir/vsftpd-plain-protocol.log|" \
            "$dir/vsftpd.conf" >"$dir/vsftpd-plain.conf"
        /usr/sbin/vsftpd "$dir/vsftpd-plain.conf" >"$dir/vsftpd-plain.log" 2>&1 &
        srv_pids+=($!)
        disown
        _wait_port "$ftp_port" || { echo "vsftpd (FTP) did not start: $(cat "$dir/vsftpd-plain.log")" >&2; return 1; }
    fi
    _wait_port "$ftps_port" || { echo "vsftpd did not start: $(cat "$dir/vsftpd.log")" >&2; return 1; }
    _wait_port "$sftp_port" || { echo "sshd did not start: $(cat "$dir/sshd.log")" >&2; return 1; }
}

# A process and everything it started: vsftpd and sshd fork per login.
_kill_tree() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do _kill_tree "$child"; done
    kill -KILL "$1" 2>/dev/null || true
}

stop_servers() {
    local pid
    for pid in "${srv_pids[@]}"; do _kill_tree "$pid"; done
    srv_pids=()
    [ -n "${srv_account_made:-}" ] && { sleep 0.2; userdel "$srv_user" 2>/dev/null || true; }
    srv_account_made=
    return 0
}
