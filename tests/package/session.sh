#!/usr/bin/env bash
# The kiosk session launcher against stand-in compositors that record how they were started:
# the compositor it picks ("launcher") and the machine's keyboard layout it hands on ("keyboard",
# in a mount namespace of its own, exit 77 where none can be made). weston itself runs the
# session in the end-to-end tests.
# Usage: session.sh launcher|keyboard LAUNCHER
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

mkdir "$work/bin" "$work/fake" "$work/record" && mkdir -m 700 "$work/runtime"
cp "$2" "$work/bin/pelunna-labs-session"
for name in cage weston; do
    printf '#!/bin/sh\n{ printf "%%s\\n" "$0" "$@"; env; } >"%s/record/%s"\n' "$work" "$name" \
        >"$work/fake/$name"
done
# The user the launcher may run as reaches the stand-ins and writes their records.
chmod 755 "$work" "$work"/fake/* && chmod 777 "$work/record" "$work/runtime"
export PATH=$work/fake:$PATH XDG_RUNTIME_DIR=$work/runtime
unset PELUNNA_LABS_COMPOSITOR "${!XKB_DEFAULT_@}"

# Runs the launcher with "$@" before it; prints what the compositor it started was given.
session() {
    rm -rf "$work"/record/* "$work/runtime/pelunna-labs"
    "$@" "$work/bin/pelunna-labs-session" --option || fail "the launcher failed"
    cat "$work"/record/*
}

# weston with its kiosk shell: nothing of a desktop behind the client.
kiosk_weston() {
    [[ $1 == "$work/fake/weston"* && $1 == *$'\n--shell=kiosk-shell.so\n'* ]]
}

if [[ $1 == launcher ]]; then
    if ((EUID == 0)); then
        # cage refuses to run as root.
        kiosk_weston "$(session env)" || fail "root does not get weston's kiosk shell"
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    else
        as_user=()
    fi
    started=$(session "${as_user[@]}")
    [[ $started == "$(printf '%s\n' "$work/fake/cage" --option -- "$work/bin/pelunna-labs")"* &&
        $started == *$'\nGDK_BACKEND=wayland\n'* ]] ||
        fail "a user does not get cage with the client on Wayland: $started"
    kiosk_weston "$(session env PELUNNA_LABS_COMPOSITOR=weston "${as_user[@]}")" ||
        fail "PELUNNA_LABS_COMPOSITOR=weston does not choose weston's kiosk shell"
    exit 0
fi

if ((EUID == 0)); then
    namespace=(unshare --mount --propagation private)
else
    namespace=(unshare --user --map-root-user --mount --propagation private)
fi
"${namespace[@]}" true 2>/dev/null || {
    echo "skipped: no private mount namespace here"
    exit 77
}
mkdir "$work/keyboard" "$work/none"
# English beside Tamil99, Alt+Shift between them.
printf '%s\n' '# KEYBOARD CONFIGURATION FILE' 'XKBMODEL="pc105"' 'XKBLAYOUT="us,in"' \
    'XKBVARIANT=",tam_tamilnet"' 'XKBOPTIONS="grp:alt_shift_toggle"' >"$work/keyboard/keyboard"
# The launcher's XKB variables (cage's keyboard) and weston's keyboard section, with FOLDER over
# /etc/default.
layout() {
    local folder=$1
    shift
    session env "$@" PELUNNA_LABS_COMPOSITOR=weston "${namespace[@]}" \
        sh -c 'mount --bind "$0" /etc/default && exec "$@"' "$folder" | grep '^XKB_' | sort
    sed -n '/^\[keyboard\]$/,$p' "$work/runtime/pelunna-labs/weston.ini"
}
[[ $(layout "$work/keyboard") == "$(printf '%s\n' XKB_DEFAULT_LAYOUT=us,in XKB_DEFAULT_MODEL=pc105 \
    XKB_DEFAULT_OPTIONS=grp:alt_shift_toggle XKB_DEFAULT_VARIANT=,tam_tamilnet '[keyboard]' \
    keymap_layout=us,in keymap_model=pc105 keymap_variant=,tam_tamilnet \
    keymap_options=grp:alt_shift_toggle)" ]] ||
    fail "the machine's layouts do not reach the compositors: $(layout "$work/keyboard")"
[[ $(layout "$work/keyboard" XKB_DEFAULT_LAYOUT=fr) == "$(printf '%s\n' XKB_DEFAULT_LAYOUT=fr \
    '[keyboard]' keymap_layout=fr)" ]] || fail "a layout the session names is replaced"
[[ -z $(layout "$work/none") ]] || fail "a layout without a keyboard file"
