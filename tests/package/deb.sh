#!/usr/bin/env bash
# Builds the Debian package, checks its control data and contents, unpacks it into a private
# root and starts the unpacked client on the X display: its window must appear, named as the
# desktop entry says, and SIGTERM must end it cleanly.
# Usage: deb.sh CPACK_CONFIG VERSION   (on a display: run under scripts/headless)
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

cpack_config=$1
version=$2
app_id=com.pelunnalabs.Labs
[[ -n ${DISPLAY-} ]] || fail "no X display: run under scripts/headless"

cpack -G DEB --config "$cpack_config" -B "$work/out" >"$work/cpack.log" 2>&1 || {
    show "cpack" "$work/cpack.log"
    fail "cpack failed"
}
arch=$(dpkg --print-architecture)
deb=$work/out/pelunna-labs_${version}_$arch.deb
[[ -f $deb ]] || fail "no $(basename "$deb") among: $(ls "$work/out")"
echo "ok: built $(basename "$deb")"

field() {
    dpkg-deb --field "$deb" "$1"
}
[[ $(field Package) == pelunna-labs && $(field Version) == "$version" &&
    $(field Architecture) == "$arch" ]] ||
    fail "control: $(field Package) $(field Version) $(field Architecture)"

# Each dependency clause with its version constraints removed, one per line.
clauses() {
    sed -E 's/ *\([^)]*\)//g; s/ *, */\n/g; s/ *\| */ | /g' <<<"$1"
}
depends=$(field Depends)
missing=()
for wanted in libwebkitgtk-6.0-4 libgtk-4-1 gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
    "gstreamer1.0-pulseaudio | gstreamer1.0-pipewire" adwaita-icon-theme; do
    grep -qxF "$wanted" <<<"$(clauses "$depends")" || missing+=("$wanted")
done
((${#missing[@]} == 0)) || fail "Depends lacks ${missing[*]}: $depends"
# Library clauses come from dpkg-shlibdeps, at the versions the client was built against.
[[ $depends =~ libwebkitgtk-6\.0-4\ \(\>=\ [0-9] ]] ||
    fail "no versioned WebKitGTK dependency from dpkg-shlibdeps: $depends"
# Every clause names a package this Debian has, at a version it has: the test machine has the
# client's runtime installed, so an unmet clause is a wrong name or version.
printf 'Source: pelunna-labs\n\nPackage: pelunna-labs\nArchitecture: any\n' >"$work/control"
dpkg-checkbuilddeps -d "$depends" "$work/control" 2>"$work/depends.err" || {
    show "unmet" "$work/depends.err"
    fail "Depends cannot be met on this system"
}
grep -qxF "cage | weston" <<<"$(clauses "$(field Suggests)")" ||
    fail "the kiosk session's compositors are not suggested: $(field Suggests)"
echo "ok: control data"

# Exactly these files, owned by root, executables executable and nothing else writable.
dpkg-deb --contents "$deb" >"$work/contents"
expected_files=$(
    printf '%s\n' \
        "-rwxr-xr-x ./usr/bin/pelunna-labs" \
        "-rwxr-xr-x ./usr/bin/pelunna-labs-session" \
        "-rw-r--r-- ./usr/share/applications/$app_id.desktop" \
        "-rw-r--r-- ./usr/share/doc/pelunna-labs/README.md" \
        "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
        "-rw-r--r-- ./usr/share/icons/hicolor/symbolic/apps/$app_id-symbolic.svg" \
        "-rw-r--r-- ./usr/share/man/man1/pelunna-labs-session.1.gz" \
        "-rw-r--r-- ./usr/share/man/man1/pelunna-labs.1.gz" \
        "-rw-r--r-- ./usr/share/metainfo/$app_id.metainfo.xml" \
        "-rw-r--r-- ./usr/share/wayland-sessions/pelunna-labs.desktop" | sort
)
files=$(awk '$1 !~ /^d/ {print $1, $6}' "$work/contents" | sort)
[[ $files == "$expected_files" ]] || {
    diff <(echo "$expected_files") <(echo "$files") >&2 || true
    fail "unexpected package contents (expected < > packaged)"
}
owners=$(awk '{print $2}' "$work/contents" | sort -u)
[[ $owners == root/root ]] || fail "files not owned by root: $owners"
echo "ok: contents"

root=$work/root
dpkg-deb --extract "$deb" "$root"
kind=$(file --brief "$root/usr/bin/pelunna-labs")
[[ $kind == ELF*executable* && $kind == *stripped && $kind != *"not stripped"* ]] ||
    fail "the packaged client is not a stripped executable: $kind"
appstreamcli validate-tree --no-net --no-color "$root" >"$work/validate-tree.log" 2>&1 || {
    show "appstreamcli validate-tree" "$work/validate-tree.log"
    fail "the installed metadata does not validate together"
}
grep -q '^\.SH KIOSK SESSION' <(zcat "$root/usr/share/man/man1/pelunna-labs.1.gz") ||
    fail "the packaged manual page is not the client's"
echo "ok: installed tree validates"

# The unpacked client, as a learner starts it, on folders of its own.
entry=$root/usr/share/applications/$app_id.desktop
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
name=$(sed -n 's/^Name=//p' "$entry")
private_xdg client
private_bus
start client "$root/usr/bin/pelunna-labs"
client_pid=$last_pid

# The window the desktop would match against the entry's StartupWMClass.
windows=$(timeout "$deadline_seconds" \
    xdotool search --sync --onlyvisible --class "^$wm_class\$") || {
    show "client output" "$work/client.out"
    show "client errors" "$work/client.err"
    fail "no visible window of class $wm_class within ${deadline_seconds} s"
}
window=
for candidate in $windows; do
    if [[ $(xprop -id "$candidate" _NET_WM_PID) == "_NET_WM_PID(CARDINAL) = $client_pid" ]]; then
        window=$candidate
    fi
done
[[ -n $window ]] || fail "the windows of class $wm_class ($windows) are not the unpacked client's"
properties=$(xprop -id "$window" WM_CLASS _GTK_APPLICATION_ID _NET_WM_NAME)
grep -qxF "WM_CLASS(STRING) = \"$wm_class\", \"$wm_class\"" <<<"$properties" &&
    grep -qxF "_GTK_APPLICATION_ID(UTF8_STRING) = \"$app_id\"" <<<"$properties" &&
    grep -qxF "_NET_WM_NAME(UTF8_STRING) = \"$name\"" <<<"$properties" ||
    fail "the window does not match the desktop entry $(basename "$entry"):
$properties"
echo "ok: window $window matches the desktop entry"

terminate "$client_pid"
((exit_status == 0)) || {
    show "client output" "$work/client.out"
    show "client errors" "$work/client.err"
    fail "the client exited $exit_status on SIGTERM"
}
has_line "$work/client.out" "✅ All website data cleared on quit" || {
    show "client output" "$work/client.out"
    fail "the client did not clear its website data on SIGTERM"
}
echo "ok: SIGTERM ends the client cleanly"
