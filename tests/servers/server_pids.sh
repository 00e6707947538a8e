# Process-id bookkeeping shared by the test-server scripts and .ci/run; sourced, not run.
# A record is one line "PID<TAB>SUMMARY": SUMMARY is a stable part of the server's command
# line (its program and arguments; sshd rewrites the rest of its title as it runs). A pid counts
# as that server only while its command line still contains SUMMARY (or it still runs the program
# SUMMARY names by its full path), so a pid the system has since given to another process is
# never signalled.
# Safe under set -euo pipefail.

# True while PID runs. A zombie has ended already (pid 1 may take seconds to reap an orphan),
# so it does not count although kill -0 still finds it.
server_pid_alive() {
    local stat
    kill -0 "$1" 2>/dev/null || return 1
    stat="$(cat "/proc/$1/stat" 2>/dev/null)" || return 1
    stat="${stat##*) }"
    [ "${stat%% *}" != Z ]
}

# PID's command line, arguments separated by spaces (empty once it is gone).
server_cmdline() {
    local cmd
    cmd="$(tr '\0' ' ' 2>/dev/null <"/proc/$1/cmdline")" || true
    printf '%s' "${cmd% }"
}

# True while PID runs and is still the server SUMMARY describes: its command line holds SUMMARY,
# or (for servers that rewrite their whole title, as ProFTPD and Pure-FTPd do) SUMMARY begins with
# the full path of the program PID runs.
server_pid_matches() {
    local cmd exe
    [ -n "$2" ] || return 1
    server_pid_alive "$1" || return 1
    cmd="$(server_cmdline "$1")"
    [[ "$cmd" == *"$2"* ]] && return 0
    exe="$(readlink "/proc/$1/exe" 2>/dev/null)" || return 1
    [[ "$exe" == /* && "$2" == "$exe "* ]]
}

# True once FILE exists and is not empty; polls up to 10 s (a server writes its pid or port file
# just after it starts listening).
wait_file() {
    for _ in $(seq 1 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Appends the record PID SUMMARY to FILE, and to the suite's registry when VORLEN_SERVER_PIDS
# names one (.ci/run checks after the suite that nothing in it still runs).
# Usage: record_server_pid FILE PID SUMMARY
record_server_pid() {
    printf '%s\t%s\n' "$2" "$3" >>"$1"
    if [ -n "${VORLEN_SERVER_PIDS:-}" ]; then
        printf '%s\t%s\n' "$2" "$3" >>"$VORLEN_SERVER_PIDS"
    fi
}

# Stops the servers recorded in FILE...: TERM, up to 3 s to go, then KILL and up to 2 s more.
# Prints each one that still runs after that (pid and command line) to stderr and returns 1 if
# there is any.
# Usage: stop_recorded_servers FILE...
stop_recorded_servers() {
    local file pid summary i
    local -a pids=() summaries=()
    for file in "$@"; do
        [ -f "$file" ] || continue
        while IFS=$'\t' read -r pid summary; do
            case "$pid" in '' | *[!0-9]*) continue ;; esac
            [ -n "$summary" ] || continue
            pids+=("$pid")
            summaries+=("$summary")
        done <"$file"
    done
    [ ${#pids[@]} -gt 0 ] || return 0
    # The helpers below work on pids and summaries of this call.
    _recorded_servers_signal TERM
    if ! _recorded_servers_gone 30; then
        _recorded_servers_signal KILL
        _recorded_servers_gone 20 || true
    fi
    _recorded_servers_gone 0 && return 0
    for i in "${!pids[@]}"; do
        if server_pid_matches "${pids[$i]}" "${summaries[$i]}"; then
            echo "test server still running: ${pids[$i]} $(server_cmdline "${pids[$i]}")" >&2
        fi
    done
    return 1
}

_recorded_servers_signal() {
    local i
    for i in "${!pids[@]}"; do
        if server_pid_matches "${pids[$i]}" "${summaries[$i]}"; then
            kill "-$1" "${pids[$i]}" 2>/dev/null || true
        fi
    done
}

# True once none runs; polls up to TENTHS tenths of a second.
_recorded_servers_gone() {
    local i n left
    for ((n = 0; ; n++)); do
        left=0
        for i in "${!pids[@]}"; do
            if server_pid_matches "${pids[$i]}" "${summaries[$i]}"; then
                left=1
                break
            fi
        done
        [ "$left" -eq 1 ] || return 0
        [ "$n" -lt "$1" ] || return 1
        sleep 0.1
    done
}
