#!/usr/bin/env bash
# The microphone as a learner and an administrator meet it: a grant lets the page hear real sound
# ("grant"), a refusal is kept and respected ("refusal"), the administrator's policy outweighs a
# stored yes ("policy").
# Usage: microphone.sh grant|refusal|policy   (under scripts/headless, with lib.sh's variables)
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# Five times a second, what the microphone hears: silence, a loud sound or something between.
page start.html <<'EOF'
<!doctype html><script>
navigator.mediaDevices.getUserMedia({audio: true}).then(async (stream) => {
    const context = new AudioContext();
    await context.resume();
    const analyser = context.createAnalyser();
    context.createMediaStreamSource(stream).connect(analyser);
    const wave = new Float32Array(analyser.fftSize);
    setInterval(() => {
        analyser.getFloatTimeDomainData(wave);
        const rms = Math.sqrt(wave.reduce((sum, sample) => sum + sample * sample, 0) / wave.length);
        console.log('heard', rms < 0.001 ? 'silence' : rms > 0.1 ? 'sound' : rms);
    }, 200);
}, (error) => console.log('refused', error.name));
</script>
EOF
serve
# A stand-in for the desktop's settings, found first: it only notes that it was opened.
printf '#!/bin/sh\ntouch %s\n' "$work/settings" >"$work/bin/gnome-control-center"
chmod 700 "$work/bin/gnome-control-center"

# Colours of the permission screen's refused section.
refused_row="255,102,102"
primary_button="51,128,255"
secondary_button="64,64,77"

# "X Y", the middle of the box around the pixels of exactly that colour on the last screenshot.
spot() {
    local box
    box=$(convert "$work/screen.ppm" -fill black +opaque "rgb($1)" -format %@ info:)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ && ${BASH_REMATCH[1]} != 0 ]] &&
        echo $((BASH_REMATCH[3] + BASH_REMATCH[1] / 2)) $((BASH_REMATCH[4] + BASH_REMATCH[2] / 2))
}
refused_section_shown() {
    screenshot && spot "$refused_row" && spot "$secondary_button"
}
# Hovering changes a button's colour: the pointer goes off them first, without --sync, which waits
# forever when the pointer is there already.
wait_for_refused_section() {
    xdotool mousemove 0 799
    wait_for "the refused section" refused_section_shown
}
# From the undecided section, Return asks the desktop, whose prompt gets the key.
answer_prompt() {
    press "$main" Return
    local prompt
    prompt=$(dialog)
    (($(count "$appeared") == 0)) || fail "the lab appeared before the answer"
    press "$prompt" "$1"
}
# A sound server in the runtime folder, where the client and its sandboxed web process look for
# one, with a virtual microphone fed by what plays into its sink.
sound_server() {
    helper pulseaudio --daemonize=no --exit-idle-time=-1 --use-pid-file=no -n \
        --load=module-native-protocol-unix --load="module-null-sink sink_name=virtmic_sink" \
        --load="module-remap-source master=virtmic_sink.monitor source_name=virtmic"
    wait_for "the sound server" pactl info
    pactl set-default-source virtmic
}

# Without a session bus the answer is kept in the client's own file, where the next launch finds
# it; a learner speaking is never idle.
grant() {
    sound_server
    printf '[Lab]\nIdleResetMinutes=1\n' >"$lab_settings"
    local without_bus=(env "DBUS_SESSION_BUS_ADDRESS=unix:path=$work/none" "$PELUNNA_E2E_CLIENT")
    start "${without_bus[@]}"
    find_main
    answer_prompt Return # "Allow"
    # The screen continues by itself.
    wait_line "$appeared"
    printf 'yes\n' | cmp -s - "$work/config/pelunna-labs/microphone" ||
        fail "the answer was not kept in the client's file"
    wait_line "✅ OS mic authorized, granting to WebKit"
    wait_line "$(console '["heard","silence"]')"
    # Outlasts every wait.
    sox -n -r 48000 -c 1 "$work/tone.wav" synth 30 sine 440 vol 0.5
    helper paplay --device=virtmic_sink "$work/tone.wav"
    wait_line "$(console '["heard","sound"]')"
    # The seat's minute (6 s here) and its countdown pass.
    ! within=15 soon has_line "⏱️ Starting over for the next learner" ||
        fail "a learner speaking was taken for idle"

    # The window's close button quits as Ctrl+Q does; the granted section continues on Return.
    wmctrl -i -c "$main"
    wait_exit
    ((status == 0 && $(count "$cleared") == 1)) || fail "the close button did not quit clean"
    start "${without_bus[@]}"
    find_main
    press "$main" Return
    wait_line "$appeared"
}

refusal() {
    sound_server
    start
    find_main
    answer_prompt Escape # "Don't Allow"
    wait_for_refused_section
    [[ $(stored) == *"'com.pelunnalabs.Labs': ['no']"* ]] || fail "the refusal was not stored"
    # Neither button takes Return: had it continued, the click would land on the lab.
    press "$main" Return
    local at
    at=$(spot "$primary_button") || fail "no button of colour $primary_button"
    # shellcheck disable=SC2086 # "X Y"
    xdotool mousemove --sync $at click 1
    wait_for "the settings to open" test -e "$work/settings"
}

# The administrator's word outweighs the learner's stored yes, which stays.
policy() {
    echo restricted >"$policy"
    store yes
    start
    wait_for_refused_section
    [[ $(stored) == *"'com.pelunnalabs.Labs': ['yes']"* ]] || fail "the stored yes was changed"
}

"$1"
