#!/usr/bin/env bash
# Private PostgreSQL servers for the tests: each lives in a folder of its own (DIR/data holds its
# data, its socket lies in DIR itself), listens on no TCP port, trusts every local connection and
# knows the superuser "dekvanto". Made for speed, not for safety: no fsync, small buffers. Run as
# root, the server runs as the user "nobody" (PostgreSQL refuses to run as root); otherwise as the
# calling user.
#
# Usage:
#   test-postgres.sh start DIR                   makes the server in DIR when it is new, starts it
#                                                (unless it runs already), waits until it accepts
#                                                connections and prints its connection string
#   test-postgres.sh stop DIR [fast|immediate]   stops it (fast: ends sessions and writes a
#                                                checkpoint; immediate: a crash, recovered at the
#                                                next start); the data stays for the next start
#   test-postgres.sh stop-all ROOT               stops every server whose folder lies under ROOT
#   test-postgres.sh remove DIR                  stops it and deletes DIR
#   test-postgres.sh conninfo DIR                the connection string of a server in DIR (the
#                                                same that start prints), starting nothing
#
# Environment: DEKVANTO_POSTGRES_BIN, the folder of the server's programs (default: the newest
# /usr/lib/postgresql/*/bin, else the programs on the PATH).
set -euo pipefail

fail() {
    echo "test-postgres: $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 start DIR | stop DIR [fast|immediate] | stop-all ROOT | remove DIR |" \
        "conninfo DIR" >&2
    exit 2
}

# A file in DIR that marks it as a server folder of this script (remove deletes no other folder)
# and serializes the commands on one folder.
marker=.test-postgres
superuser=dekvanto
port=5432

# The folder of the server's programs.
find_server_programs() {
    if [ -n "${DEKVANTO_POSTGRES_BIN:-}" ]; then
        bin=$DEKVANTO_POSTGRES_BIN
    else
        bin=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
        [ -x "$bin/pg_ctl" ] || bin=$(dirname "$(command -v pg_ctl || echo .)")
    fi
    [[ -x $bin/pg_ctl && -x $bin/initdb && -x $bin/postgres ]] ||
        fail "no PostgreSQL server programs found (install postgresql, or set DEKVANTO_POSTGRES_BIN)"
}

# Runs a command as the server's user. File descriptor 9 holds the folder's lock: the server
# must not inherit it, or the lock would last as long as the server.
if [ "$(id -u)" -eq 0 ]; then
    server_user=nobody
    as_server() {
        setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups -- "$@" 9>&-
    }
else
    server_user=$(id -un)
    as_server() { "$@" 9>&-; }
fi

# Locks DIR for this command (the lock ends with the script).
lock() {
    exec 9>>"$1/$marker"
    flock 9
}

# A value of a libpq connection string, quoted when it needs to be.
conninfo_value() {
    if [[ $1 =~ ^[A-Za-z0-9_./-]+$ ]]; then
        printf '%s' "$1"
    else
        local escaped=${1//\\/\\\\}
        printf "'%s'" "${escaped//\'/\\\'}"
    fi
}

print_conninfo() {
    echo "host=$(conninfo_value "$1") port=$port user=$superuser dbname=postgres"
}

# True when the process runs (a zombie, ended but not yet reaped by its parent, does not).
alive() {
    local stat
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    stat=${stat##*) }
    [ "${stat:0:1}" != Z ]
}

# The processes of DIR's server. They are found by their program and working folder (every
# process of the server works in its data folder), so those of a killed server are found too.
server_processes() {
    local proc
    for proc in /proc/[0-9]*; do
        [ "$proc/exe" -ef "$bin/postgres" ] && [ "$proc/cwd" -ef "$1/data" ] && echo "${proc#/proc/}"
    done
    return 0
}

# The process id of DIR's running server (its lock file names it), or nothing.
server_pid() {
    local pid
    { read -r pid <"$1/data/postmaster.pid"; } 2>/dev/null || return 0
    if [[ $pid =~ ^[0-9]+$ ]] && alive "$pid" && [ "/proc/$pid/exe" -ef "$bin/postgres" ]; then
        echo "$pid"
    fi
}

# Waits up to 10 s for these processes to end; false when one still runs.
wait_gone() {
    local tries pid left
    for ((tries = 0; tries < 100; tries++)); do
        left=false
        for pid in "$@"; do
            alive "$pid" && left=true
        done
        $left || return 0
        sleep 0.1
    done
    return 1
}

# Kills what is left of DIR's server and removes its lock files (of the data folder and of the
# socket), which no process then holds: a new server would take the dead one's process id in
# them for a live one as long as that is not reaped.
kill_server() {
    local processes
    mapfile -t processes < <(server_processes "$1")
    if [ ${#processes[@]} -gt 0 ]; then
        kill -KILL "${processes[@]}" 2>/dev/null || true
        wait_gone "${processes[@]}" || fail "processes of the server in $1 do not end: ${processes[*]}"
    fi
    rm -f "$1/data/postmaster.pid" "$1/.s.PGSQL.$port" "$1/.s.PGSQL.$port.lock"
}

show_log() {
    if [ -s "$1" ]; then
        echo "---- last lines of $1" >&2
        tail -n 25 "$1" >&2
        echo "----" >&2
    fi
}

# Makes the server's data folder, with the settings of a throwaway test server.
make_server() {
    local dir=$1
    if ! as_server "$bin/initdb" -D "$dir/data" -U "$superuser" --auth=trust --no-sync \
        --no-locale -E UTF8 --no-instructions >"$dir/initdb.log" 2>&1; then
        show_log "$dir/initdb.log"
        rm -rf "$dir/data"
        fail "initdb failed in $dir/data"
    fi
    cat >>"$dir/data/postgresql.conf" <<SETTINGS

# A throwaway test server: Unix socket in its own folder only. No fsync: the data outlives a
# killed server (the tests' faults), not a crash of the machine. Commits still wait for the log,
# so that a committed row survives an immediate stop.
listen_addresses = ''
unix_socket_directories = '${dir//\'/\'\'}'
port = $port
max_connections = 50
shared_buffers = 16MB
fsync = off
full_page_writes = off
autovacuum = off
SETTINGS
}

start() {
    local dir
    dir=$(realpath -m "$1")
    # The socket's path (DIR/.s.PGSQL.5432) must fit a Unix socket address.
    [ $((${#dir} + 14)) -le 107 ] ||
        fail "$dir is too long for the server's socket path (at most 93 characters)"
    mkdir -p "$dir"
    lock "$dir"
    if [ "$server_user" = nobody ]; then
        chown nobody: "$dir"
        as_server test -w "$dir" -a -x "$dir" ||
            fail "the user nobody cannot reach $dir: every folder above it must be searchable (o+x)"
    fi
    if [ -n "$(server_pid "$dir")" ]; then
        print_conninfo "$dir"
        return
    fi
    # A killed server leaves its lock file behind, and may leave processes for a moment.
    [ -f "$dir/data/postmaster.pid" ] && kill_server "$dir"
    [ -f "$dir/data/PG_VERSION" ] || make_server "$dir"
    if ! (cd "$dir" && as_server "$bin/pg_ctl" start -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -s >&2); then
        show_log "$dir/server.log"
        fail "the server in $dir did not start"
    fi
    print_conninfo "$dir"
}

# Stops the server of DIR (DIR locked by the caller); nothing to do when none runs.
stop_server() {
    local dir=$1 mode=$2
    if [ -z "$(server_pid "$dir")" ]; then
        # None runs; a killed one may have left processes and its lock file.
        [ -f "$dir/data/postmaster.pid" ] && kill_server "$dir"
        return 0
    fi
    (cd "$dir" && as_server "$bin/pg_ctl" stop -D "$dir/data" -m "$mode" -w -t 30 -s >&2) && return 0
    if [ "$mode" != immediate ]; then
        echo "test-postgres: the server in $dir did not stop; stopping it immediately" >&2
        (cd "$dir" && as_server "$bin/pg_ctl" stop -D "$dir/data" -m immediate -w -t 10 -s >&2) &&
            return 0
    fi
    echo "test-postgres: killing the server in $dir" >&2
    kill_server "$dir"
}

stop() {
    local dir
    dir=$(realpath -m "$1")
    case $2 in
        fast | immediate) ;;
        *) usage ;;
    esac
    [ -f "$dir/$marker" ] || return 0
    lock "$dir"
    stop_server "$dir" "$2"
}

stop_all() {
    local root pidfile dir status=0
    root=$(realpath -m "$1")
    [ -d "$root" ] || return 0
    while IFS= read -r -d '' pidfile; do
        dir=$(dirname "$(dirname "$pidfile")")
        [ -f "$dir/$marker" ] || continue
        # Each folder in a subshell of its own: its own lock, and one failure stops no other.
        (lock "$dir" && stop_server "$dir" fast) || status=1
    done < <(find "$root" -path '*/data/postmaster.pid' -print0 2>/dev/null)
    return $status
}

remove() {
    local dir
    dir=$(realpath -m "$1")
    [ -e "$dir" ] || return 0
    [ -f "$dir/$marker" ] || [ -z "$(ls -A "$dir")" ] ||
        fail "$dir is not a test server's folder; not removing it"
    lock "$dir"
    stop_server "$dir" immediate
    rm -rf "$dir"
}

[ $# -ge 1 ] || usage
command=$1
shift
[ "$command" = conninfo ] || find_server_programs
case $command in
    start) [ $# -eq 1 ] || usage; start "$1" ;;
    stop) [[ $# -eq 1 || $# -eq 2 ]] || usage; stop "$1" "${2:-fast}" ;;
    stop-all) [ $# -eq 1 ] || usage; stop_all "$1" ;;
    remove) [ $# -eq 1 ] || usage; remove "$1" ;;
    conninfo) [ $# -eq 1 ] || usage; print_conninfo "$(realpath -m "$1")" ;;
    *) usage ;;
esac
