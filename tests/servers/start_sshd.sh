#!/usr/bin/env bash
# Starts OpenSSH sshd for the SFTP tests on free loopback ports, all its files in a fresh folder:
#   SSHD_PORT      password and keyboard-interactive logins (PAM), internal-sftp
#   SSHD_KBD_PORT  keyboard-interactive only (as many servers offer)
# for the test user vorlensftp (its own: the FTP bench sets the password of vorlenftp) with a fresh random password, its SFTP home SSH_ROOT.
# Writes DIR/servers.env (NAME=VALUE lines) and DIR/*.pid (the process ids of the sshd
# listeners, see server_pids.sh); the path of DIR goes to STATE. With VORLEN_SERVER_PIDS set, the
# process ids also go to that file.
# A server that cannot start is left out (its tests skip) unless CI=true: then this fails.
# Needs root (PAM logins, user switching). Stop with stop_sshd.sh STATE.
# For benchmarks: SSHD_LISTEN (default 127.0.0.1) and SSHD_NETNS (a network namespace to run
# sshd in) place the server elsewhere; SSHD_AUTHORIZED_KEYS also accepts that public key file
# (OpenSSH's sftp has no way to read a password from a script).
# Usage: start_sshd.sh STATE
set -uo pipefail
state="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/server_pids.sh"
user=vorlensftp
failures=()

if [ -s "$state" ]; then
    "$here/stop_sshd.sh" "$state"
fi
mkdir -p "$(dirname "$state")"
dir="$(mktemp -d /tmp/vorlen-sshd.XXXXXX)"
chmod 755 "$dir"
echo "$dir" >"$state"
env_file="$dir/servers.env"
: >"$env_file"
chmod 600 "$env_file"

listen="${SSHD_LISTEN:-127.0.0.1}"
in_ns() {
    if [ -n "${SSHD_NETNS:-}" ]; then ip netns exec "$SSHD_NETNS" "$@"; else "$@"; fi
}

free_port() {
    in_ns python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_port() {
    for _ in $(seq 1 100); do
        if in_ns bash -c "exec 3<>/dev/tcp/$listen/$1" 2>/dev/null; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

fail() {
    echo "cannot start $1: see $dir/$1.out" >&2
    failures+=("$1")
}

sshd_bin=/usr/sbin/sshd
if [ "$(id -u)" -ne 0 ] || [ ! -x "$sshd_bin" ]; then
    echo "sshd needs root and the openssh-server package" >"$dir/sshd.out"
    fail sshd
else
    password="$(python3 -c 'import secrets; print(secrets.token_hex(12))')"
    id "$user" >/dev/null 2>&1 || useradd -M -d /var/lib/"$user" -s /bin/bash "$user"
    echo "$user:$password" | chpasswd
    usermod -U "$user" 2>/dev/null
    home="$(getent passwd "$user" | cut -d: -f6)"
    mkdir -p "$home"
    chown "$user" "$home"
    mkdir -p "$dir/root" "$dir/empty"
    chown "$user" "$dir/root"
    ssh-keygen -q -t ed25519 -N '' -f "$dir/host_ed25519" >/dev/null
    echo "SSH_USER=$user" >>"$env_file"
    echo "SSH_PASSWORD=$password" >>"$env_file"
    echo "SSH_ROOT=$dir/root" >>"$env_file"
    echo "SSH_HOST_KEY=$dir/host_ed25519.pub" >>"$env_file"

    pubkey="PubkeyAuthentication no"
    if [ -n "${SSHD_AUTHORIZED_KEYS:-}" ]; then
        cp "$SSHD_AUTHORIZED_KEYS" "$dir/authorized_keys"
        chmod 644 "$dir/authorized_keys"
        pubkey="PubkeyAuthentication yes
AuthorizedKeysFile $dir/authorized_keys"
    fi
    # name, port variable, authentication lines
    start_one() {
        local name="$1" var="$2" auth="$3" port attempt
        # A port is free when chosen but may be taken before sshd binds it (another fixture
        # starts at the same time): sshd then ends at once, and another port is tried.
        for attempt in 1 2 3 4 5; do
            port="$(free_port)"
            launch_one "$name" "$port" "$auth"
            if ! bind_failed "$name"; then
                break
            fi
            echo "port $port was taken before sshd bound it (attempt $attempt)" >>"$dir/$name.log"
        done
        finish_one "$name" "$var" "$port"
    }
    # Writes NAME's configuration for PORT and starts it; sets pid and summary.
    launch_one() {
        local name="$1" port="$2" auth="$3"
        cat >"$dir/$name.conf" <<CONF
ListenAddress $listen
Port $port
HostKey $dir/host_ed25519
PidFile $dir/$name.sshd.pid
UsePAM yes
PermitRootLogin no
AllowUsers $user
$pubkey
$auth
MaxAuthTries 6
MaxStartups 100
LoginGraceTime 30
StrictModes no
PrintMotd no
Subsystem sftp internal-sftp
ForceCommand internal-sftp -d $dir/root
LogLevel VERBOSE
CONF
        # -D keeps sshd in the foreground and -e logs to the .out file, which holds no
        # passwords. A plain command in the background, so $! is the process that becomes sshd:
        # ip netns exec and setsid exec it (setsid forks only when it leads a process group, and
        # a background job of this script does not). A shell function here would put a subshell
        # in between, and stopping that left sshd running.
        local -a ns=()
        [ -z "${SSHD_NETNS:-}" ] || ns=(ip netns exec "$SSHD_NETNS")
        local -a cmd=("$sshd_bin" -D -e -f "$dir/$name.conf")
        summary="${cmd[*]}"
        ${ns[@]+"${ns[@]}"} setsid "${cmd[@]}" </dev/null >"$dir/$name.out" 2>&1 &
        pid=$!
        # Recorded at once, so that a listener that comes up late is still stopped.
        record_server_pid "$dir/$name.pid" "$pid" "$summary"
    }
    # True when the sshd just launched ended because its port was taken.
    bind_failed() {
        local name="$1"
        for _ in $(seq 1 50); do
            [ -s "$dir/$name.sshd.pid" ] && return 1
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        ! kill -0 "$pid" 2>/dev/null && grep -q 'Address already in use' "$dir/$name.out"
    }
    finish_one() {
        local name="$1" var="$2" port="$3" own
        if ! wait_port "$port"; then
            fail "$name"
            return
        fi
        # sshd's own pid file has the final word on which process listens.
        if wait_file "$dir/$name.sshd.pid"; then
            own="$(cat "$dir/$name.sshd.pid")"
            case "$own" in '' | *[!0-9]*) own="" ;; esac
            if [ -n "$own" ] && [ "$own" != "$pid" ]; then
                record_server_pid "$dir/$name.pid" "$own" "$summary"
                pid="$own"
            fi
        fi
        if ! server_pid_matches "$pid" "$summary"; then
            echo "the process listening for $name is not the one recorded ($pid)" >>"$dir/$name.out"
            fail "$name"
            return
        fi
        echo "$var=$port" >>"$env_file"
    }
    pid="" summary=""
    mkdir -p /run/sshd
    start_one sshd SSHD_PORT "PasswordAuthentication yes
KbdInteractiveAuthentication yes"
    start_one sshd-kbd SSHD_KBD_PORT "PasswordAuthentication no
KbdInteractiveAuthentication yes"
    if [ -s "$dir/sshd.pid" ]; then
        # The last record is the listener's.
        echo "SSHD_PID=$(tail -n 1 "$dir/sshd.pid" | cut -f 1)" >>"$env_file"
    fi
fi

if [ ${#failures[@]} -gt 0 ] && [ "${CI:-}" = "true" ]; then
    echo "test servers that did not start: ${failures[*]}" >&2
    exit 1
fi
exit 0
