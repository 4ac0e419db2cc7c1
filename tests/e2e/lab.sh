#!/usr/bin/env bash
# The lab as a learner meets it: it opens in a locked full screen and takes its keys ("opens"), an
# idle seat starts over for the next learner ("idle"), and a lab computer's login session runs it
# in weston until logout ("session").
# Usage: lab.sh opens|idle|session   (under scripts/headless, with lib.sh's variables)
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# "WIDTH,HEIGHT" as the page reported it last.
viewport() {
    grep -F "$(console '["viewport","')" "$log" | tail -1 | sed -E 's/.*","(.*)"]$/\1/'
}
viewport_is() {
    [[ $(viewport) == "$1" ]]
}
# The CSS width is a whole number: within 1 of the exact quotient.
width_near() {
    awk -v shown="$(viewport)" "BEGIN { exit !(((shown + 0) - ($1)) ^ 2 <= 1) }"
}

opens() {
    # Reports its viewport whenever it changes (page zoom shows in its width), and each key.
    page start.html <<'EOF'
<!doctype html><body style="margin:0"><script>
let viewport = '';
setInterval(() => {
    if (viewport !== innerWidth + ',' + innerHeight) console.log('viewport', viewport = innerWidth + ',' + innerHeight);
}, 100);
addEventListener('keydown', (event) => {
    console.log('keydown', event.key);
    if (event.key === 'a') for (;;) alert('Stay');
});
console.log('dark', matchMedia('(prefers-color-scheme: dark)').matches);
console.log('ready');
</script>
EOF
    serve
    launch
    # Xvfb has no GPU: the client chose the CPU by itself, before anything else.
    [[ $(count --prefix "🎨 Drawing on the CPU: ") == 1 &&
        $(head -1 "$log") == "🎨 Drawing on the CPU: "* ]] ||
        fail "the drawing path was not chosen first, once"
    # The desktop finds the window's entry, by its class, application id and name.
    local entry=$PELUNNA_DATA_DIR/com.pelunnalabs.Labs.desktop class name
    class=$(sed -n 's/^StartupWMClass=//p' "$entry")
    name=$(sed -n 's/^Name=//p' "$entry")
    printf '%s\n' "WM_CLASS(STRING) = \"$class\", \"$class\"" \
        '_GTK_APPLICATION_ID(UTF8_STRING) = "com.pelunnalabs.Labs"' \
        "_NET_WM_NAME(UTF8_STRING) = \"$name\"" >"$work/expected"
    xprop -id "$main" WM_CLASS _GTK_APPLICATION_ID _NET_WM_NAME | diff "$work/expected" - >&2 ||
        fail "the window does not match its desktop entry"
    wait_for "the full screen" full_screen "$main"
    # The page covers the screen: no frame, no title bar.
    local screen=$width,$height
    wait_for "page of $screen" viewport_is "$screen"
    # The test display is light, and so is the page.
    (($(count "$(console '["dark",false]')") == 1)) || fail "the page was told the desktop is dark"
    # The menu bar slides over the page, whose size stays. A letter of the Tamil layout, whose key
    # value lies beyond the Latin ones, reaches the page: the key that is F in English, by its key
    # code on Tamil99 (xdotool would remap a key for a letter, which races with the client).
    xdotool mousemove $((width / 2)) 0
    wait_for "the menu bar" notice_at 4 4
    trap 'setxkbmap -layout us; end_journey' EXIT
    setxkbmap -layout in -variant tam_tamilnet
    xdotool windowactivate --sync "$main" key 41
    wait_line "$(console '["keydown","க"]')"
    setxkbmap -layout us
    viewport_is "$screen" || fail "the menu bar pushed the page to $(viewport)"
    xdotool mousemove $((width / 2)) $((height / 2))

    # An exit from outside is undone, once.
    local refused="⚠️ windowWillExitFullScreen, allowExit: false"
    wmctrl -i -r "$main" -b remove,fullscreen
    wait_line "$refused"
    wait_line "$entered" 2
    wait_for "page of $screen again" viewport_is "$screen"
    (($(count "$refused") == 1)) || fail "the exit was undone more than once"

    press "$main" ctrl+equal
    wait_for "page zoomed in" width_near "$width / 1.1"
    press "$main" ctrl+minus ctrl+minus
    wait_for "page zoomed out" width_near "$width / 0.9"
    press "$main" ctrl+0
    wait_for "page at 100 %" width_near "$width"

    # Escape is logged, then reaches the page, which leaves it to the engine to hand back to the
    # window: still one line per press. GTK's Inspector keys open nothing.
    local escape="🔴 ESCAPE KEY PRESSED IN SWIFT" page_escape
    page_escape=$(console '["keydown","Escape"]')
    press "$main" Escape Escape ctrl+shift+d ctrl+shift+i x
    wait_line "$(console '["keydown","x"]')"
    (($(client_windows | wc -l) == 1)) || fail "GTK's Inspector opened"
    (($(count "$escape") == 2 && $(count "$page_escape") == 2)) || fail "not one line per Escape"
    (($(grep -nxF -- "$escape" "$log" | head -1 | cut -d: -f1) <
        $(grep -nxF -- "$page_escape" "$log" | head -1 | cut -d: -f1))) ||
        fail "Escape reached the page before the client logged it"

    # Shift makes "R", which is the page's; Ctrl+R reloads from the server.
    press "$main" ctrl+shift+r ctrl+r
    wait_line "$(console '["ready"]')" 2
    (($(count "$(console '["keydown","R"]')") == 1 && $(hits /start.html) == 2)) ||
        fail "Ctrl+Shift+R was not the page's, or Ctrl+R did not reload from the server"

    # Ctrl+Q quits even over a page that raises one alert after another.
    press "$main" a
    press "$(dialog)" ctrl+q
    wait_exit
    ((status == 0 && $(count "$cleared") == 1)) || fail "Ctrl+Q did not quit clean"
}

# A learner walks away: after the idle minute a countdown shows over the lab; a key keeps the lab
# and reaches nothing else. The next time the seat starts over at the permission screen, still in
# full screen, and the next learner's lab finds nothing of the last.
idle() {
    printf '[Lab]\nIdleResetMinutes=1\n' >"$lab_settings"
    page start.html <<'EOF'
<!doctype html><script>
console.log('found', document.cookie, localStorage.getItem('learner'));
document.cookie = 'learner=one; max-age=86400; path=/';
localStorage.setItem('learner', 'one');
addEventListener('keydown', (event) => console.log('keydown', event.key));
</script>
EOF
    serve
    local nothing_found
    nothing_found=$(console '["found","",null]')
    launch
    (($(count "⏱️ Idle reset after 1 minutes") == 1)) || fail "the lab settings were not read"
    wait_line "$nothing_found"
    within=15 wait_for "the countdown" notice_at $((width / 2)) 48
    press "$main" x
    wait_for "the countdown gone" no_notice_at $((width / 2)) 48
    within=20 wait_line "⏱️ Starting over for the next learner"
    (($(count "$(console '["keydown","x"]')") == 0)) || fail "the key that kept the lab reached it"
    wait_for "the permission screen" notice_at $((width / 2)) $((height - 10))
    full_screen "$main" || fail "the start over left the full screen"
    press "$main" Return
    wait_line "$nothing_found" 2
    (($(count "🧹 Cache cleared") == 2)) || fail "the next learner's web view was not built anew"
}

# The launcher starts weston's kiosk shell, which starts the client; a logout's SIGTERM ends the
# client, even over a page that never yields from its first line, and the session with it.
session() {
    page start.html <<<"<!doctype html><script>console.log('spinning'); for (;;) {}</script>"
    serve
    store yes
    cp "$PELUNNA_DATA_DIR/pelunna-labs-session" "$work/bin/"
    ln -s "$PELUNNA_E2E_CLIENT" "$work/bin/pelunna-labs"
    # On the X display: weston's headless backend has no keyboard for the permission screen.
    start env PELUNNA_LABS_COMPOSITOR=weston "$work/bin/pelunna-labs-session" \
        --backend=x11-backend.so --use-pixman --socket=pelunna-session
    local compositor
    compositor=$(window weston)
    # Nothing tells when the permission screen takes keys: Return until the lab appears.
    returned() {
        xdotool windowactivate --sync "$compositor" key Return && within=1 soon has_line "$appeared"
    }
    wait_for "the lab after Return" returned
    wait_line "$entered"
    wait_line "$(console '["spinning"]')"
    # To the client itself, past the stages that started it.
    pkill -TERM -x -P "$client" pelunna-labs || fail "no client below the session"
    wait_exit
    ((status == 0 && $(count "$cleared") == 1)) || fail "the logout did not quit clean"
}

"$1"
