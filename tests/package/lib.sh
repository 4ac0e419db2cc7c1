# Helpers of the package and session tests: a private work folder removed at exit, processes
# stopped at exit, waiting for conditions, and the local start page of the test client.
# shellcheck shell=bash
set -euo pipefail

# Generous for a loaded two-core machine: every wait ends as soon as its condition holds.
deadline_seconds=20

work=$(mktemp -d "${TMPDIR:-/tmp}/pelunna-package-test.XXXXXX")
started_pids=()

cleanup() {
    local i pid
    # Newest first: a client before its compositor, its bus and its server.
    for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do
        pid=${started_pids[i]}
        if kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null || true
            wait_until_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
        fi
        wait "$pid" 2>/dev/null || true
    done
    # The document portal mounts itself in a runtime folder and may outlive its client.
    local doc
    for doc in "$work"/*/runtime/doc; do
        if mountpoint -q "$doc" 2>/dev/null; then
            fusermount3 -u "$doc" 2>/dev/null || fusermount -u "$doc" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT
# Without these a signal would end the test without the EXIT trap, leaving processes behind.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Prints a file to stderr under a heading, to explain a failure.
show() {
    echo "--- $1" >&2
    if [[ -f $2 ]]; then tail -c 6000 "$2" >&2; else echo "(missing)" >&2; fi
}

# Runs "$@" every 0.1 s until it succeeds; fails after the deadline.
wait_until() {
    local deadline=$((SECONDS + deadline_seconds))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# True while the process runs; a child that has exited but is not yet reaped does not count.
running() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ $state != Z* ]]
}

wait_until_gone() {
    local deadline=$((SECONDS + deadline_seconds))
    while running "$1"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# Starts "$@" in the background with output to files; the pid lands in $last_pid.
start() {
    local name=$1
    shift
    "$@" >"$work/$name.out" 2>"$work/$name.err" &
    last_pid=$!
    started_pids+=("$last_pid")
}

# Sends SIGTERM to a child of this shell and sets $exit_status once it has ended.
exit_status=
terminate() {
    kill -TERM "$1"
    wait_until_gone "$1" || fail "process $1 ignored SIGTERM for ${deadline_seconds} s"
    exit_status=0
    # shellcheck disable=SC2034 # read by the tests
    wait "$1" || exit_status=$?
}

has_line() {
    grep -qxF -- "$2" "$1"
}

# Waits for a whole line in a file, and explains the failure with the file itself.
expect_line() {
    wait_until has_line "$1" "$2" || {
        show "$1" "$1"
        fail "no line '$2' within ${deadline_seconds} s"
    }
}

# Folders of their own for a client: data, cache, configuration and a private runtime folder.
private_xdg() {
    local root=$work/$1
    mkdir -p "$root/data" "$root/cache" "$root/config"
    mkdir -m 700 "$root/runtime"
    export XDG_DATA_HOME=$root/data XDG_CACHE_HOME=$root/cache XDG_CONFIG_HOME=$root/config
    export XDG_RUNTIME_DIR=$root/runtime
}

# Serves the folder on 127.0.0.1:PORT, the test client's start page. Binding comes before the
# ready line, so a port held by someone else is an error here, not a page from a stranger.
serve() {
    local port=$1 folder=$2
    start server python3 -u -c '
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[2])
server = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), handler)
print("serving", flush=True)
server.serve_forever()
' "$port" "$folder"
    local pid=$last_pid
    wait_until has_line "$work/server.out" serving || {
        show "server errors" "$work/server.err"
        fail "cannot serve port $port: is another test run using it?"
    }
    running "$pid" || fail "the server on port $port ended"
}

# A session bus of the test's own: the permission store and the portals it starts inherit the
# private folders, keep their state there and end with the test.
private_bus() {
    local address=unix:path=$XDG_RUNTIME_DIR/bus
    start bus dbus-daemon --session --nofork --nopidfile "--address=$address"
    export DBUS_SESSION_BUS_ADDRESS=$address
    wait_until gdbus call --session --dest org.freedesktop.DBus \
        --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetId || {
        show "bus" "$work/bus.err"
        fail "the private session bus did not start"
    }
}

# Stores the learner's answer to the microphone question in the permission store: yes or no.
store_microphone_decision() {
    gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
        --object-path /org/freedesktop/impl/portal/PermissionStore \
        --method org.freedesktop.impl.portal.PermissionStore.SetPermission \
        devices true microphone com.pelunnalabs.Labs "['$1']" >/dev/null ||
        fail "the permission store refused the decision"
}
