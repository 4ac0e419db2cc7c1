# Helpers of the end-to-end journeys: one real client at a time, on home and XDG folders, a session
# bus and a lab server of the journey's own, driven with the desktop's own tools. Every wait ends
# as soon as its condition holds, or fails after $within seconds (10). A failure shows the
# client's output.
# Needs PELUNNA_E2E_CLIENT, PELUNNA_E2E_PORT, PELUNNA_E2E_POLICY_DIR (the folder the client was
# built to read its administrator's files from), PELUNNA_E2E_SERVE and PELUNNA_DATA_DIR.
# shellcheck shell=bash
source "$(dirname -- "${BASH_SOURCE[0]}")/../package/lib.sh"
[[ -n ${DISPLAY-} ]] || fail "no X display: run under scripts/headless"

appeared="🌐 WebView appeared, entering fullscreen..."
entered="✅ windowDidEnterFullScreen"
cleared="✅ All website data cleared on quit"
loaded="✅ Page loaded successfully: "
failed="❌ Provisional navigation failed: "
lab=http://localhost:$PELUNNA_E2E_PORT
policy=$PELUNNA_E2E_POLICY_DIR/microphone-policy
# An idle minute of this client lasts 6 s.
lab_settings=$PELUNNA_E2E_POLICY_DIR/lab.conf
site=$work/site
log=$work/client.log
explain=$log
client=
main=

mkdir "$work"/{home,config,data,cache,bin,site} && mkdir -m 700 "$work/runtime"
mkdir -p "$PELUNNA_E2E_POLICY_DIR" && rm -f "$policy" "$lab_settings"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime \
    DBUS_SESSION_BUS_ADDRESS=unix:path=$work/runtime/bus PATH=$work/bin:$PATH
# The client chooses how to draw by itself, as on a lab computer.
unset GSK_RENDERER WEBKIT_DISABLE_COMPOSITING_MODE

# The pids of a process and all below it.
tree() {
    local -a all=("$1")
    local i
    for ((i = 0; i < ${#all[@]}; i++)); do
        mapfile -t -O "${#all[@]}" all < <(ps -o pid= --ppid "${all[i]}" | tr -d ' ')
    done
    echo "${all[@]}"
}

# The client first, with all its processes, asked to quit before they are killed.
end_journey() {
    if [[ -n $client ]] && kill -0 "$client" 2>/dev/null; then
        local -a all
        read -ra all <<<"$(tree "$client")"
        kill -TERM "$client" 2>/dev/null || true
        within=10 soon exited || kill -KILL "${all[@]}" 2>/dev/null || true
    fi
    rm -f "$policy" "$lab_settings"
    cleanup
}
trap end_journey EXIT

# Whether "$@" succeeds within $within seconds, tried every 0.1 s.
soon() {
    local deadline=$((SECONDS + ${within:-10}))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
wait_for() {
    local what=$1
    shift
    soon "$@" || fail "waited ${within:-10} s in vain for $what"
}

# A process beside the client, ended at exit; its output in $work/NAME.out.
helper() {
    "$@" >"$work/$(basename "$1").out" 2>&1 &
    pids+=($!)
    disown
}
helper dbus-daemon --session --nofork --nopidfile --print-address \
    "--address=$DBUS_SESSION_BUS_ADDRESS"
wait_for "the session bus" test -s "$work/dbus-daemon.out"

# The lab's server on its fixed port (the client's start page names it), or with a certificate and
# key on the next port; what it served is in $work/served.
serve() {
    local port=$((PELUNNA_E2E_PORT + $# / 2))
    "$PELUNNA_E2E_SERVE" "$site" "$port" "$@" >>"$work/served" 2>"$work/serve-$port.err" &
    pids+=($!)
    disown
    wait_for "the server on port $port" grep -qx listening "$work/serve-$port.err"
}
hits() {
    grep -cxF -- "$1" "$work/served" || true
}
# A page of the lab from standard input.
page() {
    cat >"$site/$1"
}

# The client (or "$@") with its output in the log, which starts anew.
start() {
    : >"$log"
    "${@:-$PELUNNA_E2E_CLIENT}" >"$log" 2>"$work/client.err" &
    client=$!
}
exited() {
    ! kill -0 "$client" 2>/dev/null
}
# Sets $status to the client's exit status once it ended by itself.
wait_exit() {
    wait_for "exit of the client" exited
    status=0
    wait "$client" || status=$?
}
# As a learner who allowed the microphone before: Continue, the screen's default.
launch() {
    store yes
    start
    find_main
    press "$main" Return
    wait_line "$appeared"
}

# The learner's answer in the desktop's permission store: yes, no, or '' for none; and the entry.
store_call=(timeout 10 gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore
    --object-path /org/freedesktop/impl/portal/PermissionStore
    --method org.freedesktop.impl.portal.PermissionStore)
store() {
    "${store_call[@]}.SetPermission" devices true microphone com.pelunnalabs.Labs "['$1']" \
        >/dev/null || fail "cannot store '$1' in the permission store"
}
stored() {
    "${store_call[@]}.Lookup" devices microphone
}

# How many lines of the log are LINE, or start with it after --prefix.
count() {
    if [[ $1 == --prefix ]]; then
        p=$2 awk 'index($0, ENVIRON["p"]) == 1 { n++ } END { print n + 0 }' "$log"
    else
        grep -cxF -- "$1" "$log" || true
    fi
}
# The line a page's console.log of these JSON arguments becomes.
console() {
    echo "📱 WebView Console: $1"
}
# Whether the log has LINE at least N times (once).
has_line() {
    (($(count "$1") >= ${2:-1}))
}
wait_line() {
    wait_for "the line $*" has_line "$@"
}

# The client's first window is its main window, whatever opens over it later.
find_main() {
    main=$(window '^pelunna-labs$')
    [[ -n $main ]] || fail "no window of the client"
}
window() {
    timeout 10 xdotool search --sync --onlyvisible --class "$1" | head -1
}
# The other window of the client: an alert or the desktop's prompt.
dialog() {
    wait_for "a dialog" eval '(($(client_windows | wc -l) == 2))'
    client_windows | grep -vxF "$main"
}
client_windows() {
    xdotool search --onlyvisible --class '^pelunna-labs$'
}
# Focuses the window and types: GTK ignores keys sent to a window that has no focus.
press() {
    xdotool windowactivate --sync "$1" key "${@:2}" || fail "cannot press ${*:2}"
}
full_screen() {
    xprop -id "$1" _NET_WM_STATE | grep -q FULLSCREEN
}
read -r width height < <(xdotool getdisplaygeometry)
screenshot() {
    import -window root -depth 8 "$work/screen.ppm"
}
# Whether the screen shows the colour of the client's notices and menu bar at X Y.
notice_at() {
    screenshot &&
        [[ $(convert "$work/screen.ppm" -format "%[pixel:p{$1,$2}]" info:) == "srgb(31,31,38)" ]]
}
no_notice_at() {
    ! notice_at "$@"
}
