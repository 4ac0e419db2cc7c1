#!/usr/bin/env bash
# The client on Wayland, in weston's kiosk shell: started directly ("client"), or by the kiosk
# session launcher as a display manager would ("session"). Either way it gets past the
# permission screen, its web view appears in full screen and loads the local start page, and
# SIGTERM (a logout) ends it cleanly; the session ends with it.
# weston runs nested on the test's X display rather than headless: the permission screen opens
# every launch and waits for a key, and the headless backend has no keyboard.
# Usage: wayland.sh client TEST_CLIENT PORT
#        wayland.sh session TEST_CLIENT PORT LAUNCHER
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

mode=$1
test_client=$2
port=$3
start_url=http://localhost:$port/start.html
socket=pelunna-wayland-$$
compositor_options=(--backend=x11-backend.so --use-pixman "--socket=$socket" --width=1280
    --height=800)
appeared="🌐 WebView appeared, entering fullscreen..."
[[ -n ${DISPLAY-} ]] || fail "no X display for weston's window: run under scripts/headless"

mkdir "$work/site"
cat >"$work/site/start.html" <<'EOF'
<!doctype html>
<meta charset="utf-8">
<title>Start</title>
<p>வணக்கம்</p>
<script>console.log('wayland start page', navigator.userAgent.includes('PelunnaLabs/'));</script>
EOF
serve "$port" "$work/site"

private_xdg session
private_bus
store_microphone_decision yes
# Only the compositor started here may host the client.
unset WAYLAND_DISPLAY
export GDK_BACKEND=wayland

case $mode in
    client)
        start weston weston --shell=kiosk-shell.so --idle-time=0 "${compositor_options[@]}"
        weston_pid=$last_pid
        wait_until test -S "$XDG_RUNTIME_DIR/$socket" || {
            show "weston" "$work/weston.err"
            fail "weston did not open its socket"
        }
        start client env -u DISPLAY WAYLAND_DISPLAY="$socket" "$test_client"
        client_pid=$last_pid
        output=$work/client.out
        ;;
    session)
        # The launcher as installed, beside the client it starts.
        mkdir "$work/bin"
        install -m 755 "$4" "$work/bin/pelunna-labs-session"
        ln -s "$(readlink -f -- "$test_client")" "$work/bin/pelunna-labs"
        PELUNNA_LABS_COMPOSITOR=weston start session "$work/bin/pelunna-labs-session" \
            "${compositor_options[@]}"
        weston_pid=$last_pid
        # The client's lines reach the session's output through weston.
        output=$work/session.out
        client() {
            pgrep -P "$weston_pid" -x pelunna-labs
        }
        wait_until client || {
            show "session" "$work/session.err"
            fail "the session did not start the client"
        }
        client_pid=$(client)
        ;;
    *) fail "unknown mode $mode" ;;
esac

# Return takes the permission screen's default, "Continue to Pelunna Labs" for a granted
# microphone; weston passes the key on from its window. Pressed again until the web view
# appears, since nothing outside the client tells when the screen is ready for it.
compositor_windows=$(timeout "$deadline_seconds" \
    xdotool search --sync --onlyvisible --class weston) || fail "weston's window did not appear"
compositor_window=${compositor_windows%%$'\n'*}
deadline=$((SECONDS + deadline_seconds))
until has_line "$output" "$appeared"; do
    ((SECONDS < deadline)) || {
        show "output" "$output"
        fail "no line '$appeared' within ${deadline_seconds} s of pressing Return"
    }
    xdotool windowactivate --sync "$compositor_window" key Return >/dev/null 2>&1 || true
    wait_briefly=$((SECONDS + 2))
    until has_line "$output" "$appeared" || ((SECONDS >= wait_briefly)); do
        sleep 0.1
    done
done
expect_line "$output" "✅ windowDidEnterFullScreen"
expect_line "$output" "✅ Page loaded successfully: $start_url"
expect_line "$output" '📱 WebView Console: ["wayland start page",true]'
grep -q '"GET /start.html HTTP/1.1" 200' "$work/server.err" || fail "the server saw no request"
echo "ok: the start page loaded in full screen on Wayland ($mode)"

if [[ $mode == client ]]; then
    terminate "$client_pid"
    ((exit_status == 0)) || fail "the client exited $exit_status on SIGTERM"
    running "$weston_pid" || fail "weston ended with the client"
else
    kill -TERM "$client_pid"
    # watch=true: the compositor, and so the session, ends with the client.
    wait_until_gone "$weston_pid" || fail "the session outlived its client"
    exit_status=0
    wait "$weston_pid" || exit_status=$?
    ((exit_status == 0)) || fail "the session ended with status $exit_status"
fi
expect_line "$output" "✅ All website data cleared on quit"
echo "ok: SIGTERM ends the client cleanly ($mode)"
