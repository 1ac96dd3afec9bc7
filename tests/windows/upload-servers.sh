# Sourced by the Windows checks: a real FTPS server (vsftpd) and a real SFTP
# server (OpenSSH) on 127.0.0.1, set up as tests/common/uploadservers.h does
# for the Linux tests: a throwaway account, a self-signed certificate, a
# generated host key; and the same vsftpd without TLS, for plain FTP. Needs
# root. The SSH server has an RSA host key beside the Ed25519 one, as most
# servers do: Windows' cryptography (WinCNG) has no Ed25519.
#   servers_start       sets up and starts them; sets server_user,
#                       server_password, server_home, ftp_port, ftps_port,
#                       sftp_port, ftps_fingerprint, sftp_fingerprint
#   servers_stop        ends them and removes the account (call it on exit)

servers_free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

servers_start() {
    local dir port
    # Where the account can reach its home.
    dir=$(mktemp -d /tmp/sorabi-servers.XXXXXX)
    servers_dir=$dir
    chmod 755 "$dir"
    mkdir -p "$dir/home" "$dir/empty" /run/sshd
    server_user=sorabi-win$$
    server_password=Pw-$(head -c 12 /dev/urandom | base64 | tr -d '/+=')
    server_home=$dir/home
    userdel "$server_user" 2>/dev/null || true
    useradd -M -d "$server_home" -s /bin/sh "$server_user"
    echo "$server_user:$server_password" | chpasswd
    chown "$server_user" "$server_home"

    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" \
        -days 2 -subj /CN=sorabi-test 2>/dev/null
    # The public key's SHA-256, worked out by openssl rather than by the code under test.
    ftps_fingerprint=SHA256:$(openssl x509 -in "$dir/cert.pem" -noout -pubkey |
        openssl pkey -pubin -outform DER | openssl dgst -sha256 -binary | base64 | tr -d '=')
    ssh-keygen -q -t ed25519 -N '' -f "$dir/hostkey-ed25519"
    ssh-keygen -q -t rsa -b 3072 -N '' -f "$dir/hostkey-rsa"
    sftp_fingerprint=$(ssh-keygen -l -E sha256 -f "$dir/hostkey-rsa.pub" | cut -d ' ' -f 2)

    ftp_port=$(servers_free_port)
    ftps_port=$(servers_free_port)
    sftp_port=$(servers_free_port)
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
xferlog_enable=NO
connect_from_port_20=NO
userlist_enable=NO
max_per_ip=0
max_clients=0
CONF
    cat >"$dir/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $sftp_port
HostKey $dir/hostkey-ed25519
HostKey $dir/hostkey-rsa
PidFile none
UsePAM no
PasswordAuthentication yes
KbdInteractiveAuthentication no
PubkeyAuthentication no
PermitRootLogin no
AllowUsers $server_user
Subsystem sftp internal-sftp
ForceCommand internal-sftp
AllowTcpForwarding no
X11Forwarding no
StrictModes no
LogLevel ERROR
CONF
    sed -e "s/^listen_port=.*/listen_port=$ftp_port/" -e '/^\(ssl_\|rsa_\|force_\)/d' \
        "$dir/vsftpd.conf" >"$dir/vsftpd-plain.conf"
    /usr/sbin/vsftpd "$dir/vsftpd.conf" >"$dir/vsftpd.log" 2>&1 &
    servers_pids=($!)
    /usr/sbin/vsftpd "$dir/vsftpd-plain.conf" >"$dir/vsftpd-plain.log" 2>&1 &
    servers_pids+=($!)
    /usr/sbin/sshd -D -e -f "$dir/sshd_config" >"$dir/sshd.log" 2>&1 &
    servers_pids+=($!)
    for port in "$ftp_port" "$ftps_port" "$sftp_port"; do
        for _ in $(seq 100); do
            (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue 2
            sleep 0.1
        done
        echo "FAIL: no server on port $port" >&2
        return 1
    done
}

servers_stop() {
    local pid
    for pid in "${servers_pids[@]}"; do
        pkill -KILL -P "$pid" 2>/dev/null || true
        kill -KILL "$pid" 2>/dev/null || true
        # Reaped here, so that the shell does not report them killed.
        { wait "$pid"; } 2>/dev/null || true
    done
    servers_pids=()
    [ -n "${server_user:-}" ] && userdel "$server_user" 2>/dev/null || true
    server_user=
    [ -n "${servers_dir:-}" ] && rm -rf "$servers_dir"
    servers_dir=
}
