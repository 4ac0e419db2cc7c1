#!/usr/bin/env bash
# The kiosk session takes the machine's keyboard layout from /etc/default/keyboard, which the
# test replaces in a mount namespace of its own; exits 77 where it cannot make one.
# Usage: session-keyboard.sh LAUNCHER
source "$(dirname -- "${BASH_SOURCE[0]}")/session-lib.sh"

install_launcher "$1"
install_fake_compositors
mkdir -m 700 "$work/runtime"
export PATH=$work/fake:$PATH XDG_RUNTIME_DIR=$work/runtime PELUNNA_LABS_COMPOSITOR=weston
unset XKB_DEFAULT_LAYOUT XKB_DEFAULT_VARIANT XKB_DEFAULT_MODEL XKB_DEFAULT_OPTIONS

if ((EUID == 0)); then
    namespace=(unshare --mount --propagation private)
else
    namespace=(unshare --user --map-root-user --mount --propagation private)
fi
if ! "${namespace[@]}" true 2>/dev/null; then
    echo "skipped: no private mount namespace here"
    exit 77
fi

# Runs the launcher with FOLDER over /etc/default.
launch_with_defaults() {
    "${namespace[@]}" sh -c 'mount --bind "$1" /etc/default && exec "$2"' sh "$1" \
        "$work/bin/pelunna-labs-session" || fail "the launcher failed"
}

mkdir "$work/keyboard" "$work/none"
cat >"$work/keyboard/keyboard" <<'EOF'
# KEYBOARD CONFIGURATION FILE
XKBMODEL="pc105"
XKBLAYOUT="de,us"
XKBVARIANT="nodeadkeys,"
XKBOPTIONS="grp:alt_shift_toggle"
BACKSPACE="guess"
EOF

new_record layout
launch_with_defaults "$work/keyboard"
for expected in XKB_DEFAULT_MODEL=pc105 XKB_DEFAULT_LAYOUT=de,us 'XKB_DEFAULT_VARIANT=nodeadkeys,' \
    XKB_DEFAULT_OPTIONS=grp:alt_shift_toggle; do
    [[ $(recorded_env "$RECORD/weston.env" "${expected%%=*}") == "${expected#*=}" ]] ||
        fail "weston did not get $expected: $(grep XKB "$RECORD/weston.env" || true)"
done
echo "ok: the machine's layout reaches the compositor"

new_record chosen
XKB_DEFAULT_LAYOUT=fr launch_with_defaults "$work/keyboard"
[[ $(recorded_env "$RECORD/weston.env" XKB_DEFAULT_LAYOUT) == fr &&
    $(recorded_env "$RECORD/weston.env" XKB_DEFAULT_VARIANT) == unset ]] ||
    fail "a layout the session names was replaced: $(grep XKB "$RECORD/weston.env" || true)"
echo "ok: the session's own layout wins"

new_record none
launch_with_defaults "$work/none"
! grep -q '^XKB_' "$RECORD/weston.env" ||
    fail "layout without a keyboard file: $(grep XKB "$RECORD/weston.env")"
echo "ok: no keyboard file, no layout"
