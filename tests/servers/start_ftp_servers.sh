#!/usr/bin/env bash
# Starts the FTP test servers on free loopback ports, all their files in one folder DIR:
#   vsftpd (dedicated local user, passive and active, write access), ProFTPD (plain and explicit
#   TLS) and Pure-FTPd serving the same folder to the same user, the scripted pyftpdlib
#   servers, dante as SOCKS 4/5 server without and with username/password, a scripted
#   SOCKS 4A server, ftp-proxy as USER user@host proxy, and tinyproxy as HTTP CONNECT proxy.
# Writes DIR/servers.env (NAME=VALUE lines, read by the tests) and one DIR/*.pid per server
# (its process id, see server_pids.sh), which stop_ftp_servers.sh uses; with VORLEN_SERVER_PIDS
# set, the process ids also go to that file. A server that cannot start is left out of
# servers.env (the tests that need it skip) unless CI=true, where it makes this script fail.
# DIR is a fresh folder under /tmp (every parent must be open to the test user); its path is
# written to the file STATE, which the tests and the stop script read.
# Usage: start_ftp_servers.sh STATE
set -uo pipefail
state="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/server_pids.sh"
py=/usr/bin/python3
user=vorlenftp
failures=()

if [ -s "$state" ]; then
    "$here/stop_ftp_servers.sh" "$state"
fi
mkdir -p "$(dirname "$state")"
dir="$(mktemp -d /tmp/vorlen-ftp-servers.XXXXXX)"
chmod 755 "$dir"
echo "$dir" >"$state"
env_file="$dir/servers.env"
: >"$env_file"
chmod 600 "$env_file"

free_port() {
    "$py" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_port() {
    for _ in $(seq 1 100); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Runs a server detached from this script's output, so CTest does not wait for it. A plain
# command in the background: $! is the process setsid execs the server in (setsid forks only
# when it leads a process group, and a background job of this script does not).
launch() {
    local name="$1"
    shift
    setsid "$@" </dev/null >"$dir/$name.out" 2>&1 &
    record_server_pid "$dir/$name.pid" "$!" "$*"
}

# True if the recorded process of server NAME is that server, once it is ready; otherwise says
# so in its .out file, and stopping by that pid would not stop it.
launched() {
    local pid summary
    IFS=$'\t' read -r pid summary <"$dir/$1.pid"
    server_pid_matches "$pid" "$summary" && return 0
    echo "the recorded process $pid is not the server" >>"$dir/$1.out"
    return 1
}

# Writes KEY=PORT to servers.env once server NAME listens on PORT as the recorded process;
# otherwise counts NAME as failed.
# Usage: serving NAME PORT KEY
serving() {
    if wait_port "$2" && launched "$1"; then
        echo "$3=$2" >>"$env_file"
    else
        fail "$1"
    fi
}

fail() {
    echo "cannot start $1: see $dir/$1.out" >&2
    failures+=("$1")
}

password="$("$py" -c 'import secrets; print(secrets.token_hex(12))')"
echo "FTP_USER=$user" >>"$env_file"
echo "FTP_PASSWORD=$password" >>"$env_file"

# --- vsftpd with its own test user (needs root: PAM login and user switching) -------------
if [ "$(id -u)" -eq 0 ] && command -v vsftpd >/dev/null; then
    id "$user" >/dev/null 2>&1 || useradd -M -d /var/lib/"$user" -s /bin/bash "$user"
    echo "$user:$password" | chpasswd
    # vsftpd enters the home folder before local_root: it must exist.
    home="$(getent passwd "$user" | cut -d: -f6)"
    mkdir -p "$home"
    chown "$user" "$home"
    mkdir -p "$dir/ftproot" "$dir/empty"
    chown "$user" "$dir/ftproot"
    port="$(free_port)"
    cat >"$dir/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
local_root=$dir/ftproot
pasv_enable=YES
port_enable=YES
connect_from_port_20=NO
seccomp_sandbox=NO
secure_chroot_dir=$dir/empty
pam_service_name=vsftpd
dirmessage_enable=NO
xferlog_enable=NO
max_per_ip=0
delay_failed_login=0
CONF
    launch vsftpd vsftpd "$dir/vsftpd.conf"
    if wait_port "$port" && launched vsftpd; then
        echo "VSFTPD_PORT=$port" >>"$env_file"
        echo "FTP_ROOT=$dir/ftproot" >>"$env_file"
    else
        fail vsftpd
    fi
    # The same server and folder with TLS: explicit (AUTH TLS) and implicit, each with its own
    # self-signed certificate, so a test can meet a certificate that changed. The certificates
    # name localhost only: connected to as 127.0.0.1, they also show a name that does not match.
    start_vsftpd_tls() {
        local name="$1" implicit="$2" key="$3" tls_port
        tls_port="$(free_port)"
        openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=localhost/O=Vorlen test $name" \
            -addext "subjectAltName=DNS:localhost" \
            -keyout "$dir/$name.key" -out "$dir/$name.pem" >"$dir/$name-openssl.out" 2>&1
        sed -e "s/^listen_port=.*/listen_port=$tls_port/" "$dir/vsftpd.conf" >"$dir/$name.conf"
        cat >>"$dir/$name.conf" <<CONF
ssl_enable=YES
implicit_ssl=$implicit
rsa_cert_file=$dir/$name.pem
rsa_private_key_file=$dir/$name.key
require_ssl_reuse=YES
force_local_logins_ssl=YES
force_local_data_ssl=YES
allow_anon_ssl=NO
ssl_ciphers=HIGH
CONF
        launch "$name" vsftpd "$dir/$name.conf"
        serving "$name" "$tls_port" "$key"
    }
    start_vsftpd_tls vsftpd-tls NO VSFTPD_TLS_PORT
    start_vsftpd_tls vsftpd-implicit YES VSFTPD_IMPLICIT_PORT
    # The same server taking two connections from one address: a batch over several connections
    # meets its refusal of the rest.
    limited_port="$(free_port)"
    sed -e "s/^listen_port=.*/listen_port=$limited_port/" -e "s/^max_per_ip=.*/max_per_ip=2/" \
        "$dir/vsftpd.conf" >"$dir/vsftpd-limited.conf"
    launch vsftpd-limited vsftpd "$dir/vsftpd-limited.conf"
    serving vsftpd-limited "$limited_port" VSFTPD_LIMITED_PORT
else
    echo "vsftpd needs root and the vsftpd package" >"$dir/vsftpd.out"
    fail vsftpd
fi

# --- ProFTPD and Pure-FTPd, unpacked by scripts/fetch_test_ftpds.sh ---------------------------
# The same user and folder as vsftpd, so that every test can run against each; both offer machine
# listings (MLSD), which vsftpd does not.
ftpds="${VORLEN_TEST_FTPDS:-/opt/vorlen-test-ftpds}"
if [ "$(id -u)" -eq 0 ] && [ -x "$ftpds/usr/sbin/proftpd" ] && [ -d "$dir/ftproot" ]; then
    start_proftpd() {
        local name="$1" key="$2" tls="$3" port
        port="$(free_port)"
        cat >"$dir/$name.conf" <<CONF
ServerName "Vorlen test $name"
ServerType standalone
Port $port
DefaultAddress 127.0.0.1
SocketBindTight on
UseIPv6 off
PidFile $dir/$name.daemon
ScoreboardFile $dir/$name.scoreboard
DelayTable none
WtmpLog off
ControlsEngine off
User nobody
Group nogroup
AuthPAM off
AuthOrder mod_auth_unix.c
DefaultChdir $dir/ftproot
RequireValidShell off
UseReverseDNS off
SystemLog $dir/$name.log
TransferLog none
Umask 022
AllowOverwrite on
AllowStoreRestart on
AllowRetrieveRestart on
MaxInstances 50
ModulePath $ftpds/usr/lib/proftpd
CONF
        if [ "$tls" = yes ]; then
            openssl req -x509 -newkey rsa:2048 -nodes -days 30 \
                -subj "/CN=localhost/O=Vorlen test $name" -addext "subjectAltName=DNS:localhost" \
                -keyout "$dir/$name.key" -out "$dir/$name.pem" >"$dir/$name-openssl.out" 2>&1
            cat >>"$dir/$name.conf" <<CONF
LoadModule mod_tls.c
TLSEngine on
TLSProtocol TLSv1.2 TLSv1.3
TLSRSACertificateFile $dir/$name.pem
TLSRSACertificateKeyFile $dir/$name.key
TLSRequired on
TLSOptions NoSessionReuseRequired
TLSLog $dir/$name-tls.log
CONF
        fi
        launch "$name" "$ftpds/usr/sbin/proftpd" -n -q -c "$dir/$name.conf"
        serving "$name" "$port" "$key"
    }
    start_proftpd proftpd PROFTPD_PORT no
    start_proftpd proftpd-tls PROFTPD_TLS_PORT yes

    # Pure-FTPd with a virtual user of its own database: the test user's ids and the shared
    # folder as its home, not shut in there (so paths read as on vsftpd). The password hash is
    # SHA-512 crypt, made from standard input: pure-pw's own (argon2) costs seconds per login here.
    hash="$(printf '%s' "$password" | openssl passwd -6 -stdin)"
    printf '%s:%s:%s:%s::%s::::::::::::\n' "$user" "$hash" "$(id -u "$user")" "$(id -g "$user")" \
        "$dir/ftproot" >"$dir/pureftpd.passwd"
    chmod 600 "$dir/pureftpd.passwd"
    "$ftpds/usr/bin/pure-pw" mkdb "$dir/pureftpd.pdb" -f "$dir/pureftpd.passwd" >"$dir/pure-pw.out" 2>&1
    port="$(free_port)"
    launch pure-ftpd "$ftpds/usr/sbin/pure-ftpd" -l "puredb:$dir/pureftpd.pdb" -S "127.0.0.1,$port" \
        -E -H --displaydotfiles
    serving pure-ftpd "$port" PUREFTPD_PORT
else
    echo "ProFTPD and Pure-FTPd need root, vsftpd's folder and scripts/fetch_test_ftpds.sh" >"$dir/proftpd.out"
    fail proftpd
fi

# --- scripted FTP servers --------------------------------------------------------------------
# The password goes in the environment: a command line is open to every user and to logs.
SCRIPTED_FTP_PASSWORD="$password" launch scripted "$py" "$here/scripted_ftp_server.py" "$dir"
if wait_file "$dir/scripted.env" && launched scripted; then
    sed 's/^/SCRIPTED_/' "$dir/scripted.env" | tr 'a-z' 'A-Z' >>"$env_file"
else
    fail scripted
fi

# --- dante: SOCKS 4 and 5 without authentication, SOCKS 5 with username/password ------------
start_dante() {
    local name="$1" method="$2" port
    port="$(free_port)"
    cat >"$dir/$name.conf" <<CONF
logoutput: $dir/$name.log
internal: 127.0.0.1 port = $port
external: 127.0.0.1
socksmethod: $method
clientmethod: none
user.privileged: root
user.unprivileged: nobody
client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect
  protocol: tcp
}
CONF
    launch "$name" danted -f "$dir/$name.conf"
    serving "$name" "$port" "$3"
}
if [ "$(id -u)" -eq 0 ] && command -v danted >/dev/null; then
    start_dante dante none SOCKS_PORT
    start_dante dante-auth username SOCKS_AUTH_PORT
else
    echo "danted needs root and the dante-server package" >"$dir/dante.out"
    fail dante
fi

# --- SOCKS 4A (dante does not serve the 4A name extension) -----------------------------------
launch socks4a "$py" "$here/socks4a_server.py" "$dir/socks4a.port"
if wait_file "$dir/socks4a.port" && launched socks4a; then
    echo "SOCKS4A_PORT=$(cat "$dir/socks4a.port")" >>"$env_file"
else
    fail socks4a
fi

# --- ftp-proxy: USER user@host[:port] --------------------------------------------------------
if command -v ftp-proxy >/dev/null; then
    port="$(free_port)"
    cat >"$dir/ftp-proxy.conf" <<CONF
[-Global-]
ServerType standalone
Listen 127.0.0.1
Port $port
DestinationAddress 127.0.0.1
AllowMagicUser yes
LogDestination $dir/ftp-proxy-log/ftp-proxy.log
User nobody
Group nogroup
CONF
    # It (re)creates its log after giving up root, so the log gets a folder of its own.
    mkdir -p "$dir/ftp-proxy-log"
    chown nobody "$dir/ftp-proxy-log" 2>/dev/null
    launch ftp-proxy ftp-proxy -n -d -f "$dir/ftp-proxy.conf"
    serving ftp-proxy "$port" FTPPROXY_PORT
else
    echo "ftp-proxy is not installed" >"$dir/ftp-proxy.out"
    fail ftp-proxy
fi

# --- tinyproxy: HTTP CONNECT to any loopback port ---------------------------------------------
if command -v tinyproxy >/dev/null; then
    port="$(free_port)"
    mkdir -p "$dir/tinyproxy-log"
    chown nobody "$dir/tinyproxy-log" 2>/dev/null
    # No ConnectPort line: CONNECT may reach every port (the default allows only 443 and 563).
    cat >"$dir/tinyproxy.conf" <<CONF
User nobody
Group nogroup
Port $port
Listen 127.0.0.1
Timeout 60
Allow 127.0.0.1
LogFile "$dir/tinyproxy-log/tinyproxy.log"
DisableViaHeader Yes
CONF
    launch tinyproxy tinyproxy -d -c "$dir/tinyproxy.conf"
    serving tinyproxy "$port" HTTPPROXY_PORT
else
    echo "tinyproxy is not installed" >"$dir/tinyproxy.out"
    fail tinyproxy
fi

if [ ${#failures[@]} -gt 0 ] && [ "${CI:-}" = "true" ]; then
    echo "test servers that did not start: ${failures[*]}" >&2
    exit 1
fi
exit 0
