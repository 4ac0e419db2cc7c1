#!/usr/bin/env bash
# The Debian package: its dependencies, its files and the installed tree's metadata.
# Usage: deb.sh CPACK_CONFIG VERSION
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

cpack -G DEB --config "$1" -B "$work/out" >"$work/cpack" 2>&1 || fail "cpack failed" "$work/cpack"
deb=$work/out/pelunna-labs_$2_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $(basename "$deb") among: $(ls "$work/out")"

# What the engine loads at run time, the microphone's way in and a compositor for the session,
# beside the libraries dpkg-shlibdeps found, at the versions the client was built against.
depends=$(dpkg-deb --field "$deb" Depends)
suggests=$(dpkg-deb --field "$deb" Suggests)
clauses=$(sed -E 's/ *\([^)]*\)//g; s/ *, */\n/g' <<<"$depends, $suggests")
for wanted in gstreamer1.0-plugins-base gstreamer1.0-plugins-good adwaita-icon-theme \
    "gstreamer1.0-pulseaudio | gstreamer1.0-pipewire" "cage | weston"; do
    grep -qxF "$wanted" <<<"$clauses" || fail "the package does not name $wanted: $clauses"
done
[[ $depends =~ libwebkitgtk-6\.0-4\ \(\>=\ [0-9] && $depends =~ libgtk-4-1\ \(\>=\ [0-9] ]] ||
    fail "no versioned libraries from dpkg-shlibdeps: $depends"
# The test machine has the client's runtime installed: a clause it cannot meet is a wrong name.
printf 'Source: pelunna-labs\n\nPackage: pelunna-labs\nArchitecture: any\n' >"$work/control"
dpkg-checkbuilddeps -d "$depends" "$work/control" 2>"$work/unmet" ||
    fail "Depends cannot be met on this system" "$work/unmet"

# Exactly these files, owned by root, executables executable and nothing else writable.
app=com.pelunnalabs.Labs
expected=$(printf '%s\n' "-rwxr-xr-x ./usr/bin/pelunna-labs" \
    "-rwxr-xr-x ./usr/bin/pelunna-labs-session" \
    "-rw-r--r-- ./usr/share/applications/$app.desktop" \
    "-rw-r--r-- ./usr/share/doc/pelunna-labs/README.md" \
    "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/$app.svg" \
    "-rw-r--r-- ./usr/share/icons/hicolor/symbolic/apps/$app-symbolic.svg" \
    "-rw-r--r-- ./usr/share/man/man1/pelunna-labs-session.1.gz" \
    "-rw-r--r-- ./usr/share/man/man1/pelunna-labs.1.gz" \
    "-rw-r--r-- ./usr/share/metainfo/$app.metainfo.xml" \
    "-rw-r--r-- ./usr/share/wayland-sessions/pelunna-labs.desktop")
dpkg-deb --contents "$deb" >"$work/contents"
diff <(sort <<<"$expected") <(awk '$1 !~ /^d/ {print $1, $6}' "$work/contents" | sort) >&2 ||
    fail "unexpected package contents (expected < > packaged)"
[[ $(awk '{print $2}' "$work/contents" | sort -u) == root/root ]] || fail "not all owned by root"

root=$work/root
dpkg-deb --extract "$deb" "$root"
[[ $(file --brief "$root/usr/bin/pelunna-labs") == ELF*", stripped" ]] ||
    fail "the packaged client is not a stripped executable"
appstreamcli validate-tree --no-net --no-color "$root" >"$work/tree" 2>&1 ||
    fail "the installed metadata does not validate together" "$work/tree"
for entry in "$root"/usr/share/{applications,wayland-sessions}/*.desktop; do
    [[ -x $root/usr/bin/$(sed -n 's/^Exec=//p' "$entry") ]] ||
        fail "$entry starts no packaged program"
done
