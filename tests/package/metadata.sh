#!/usr/bin/env bash
# The desktop entries, AppStream metadata, icons and manual pages: valid for the tools that read
# them, and agreeing with this build and the committed screenshots.
# Usage: metadata.sh DATA_DIR PROJECT_VERSION
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

data=$1
app=com.pelunnalabs.Labs
# Validators print their findings and may still exit 0 for warnings: any finding fails.
for entry in "$data/$app.desktop" "$data/wayland-sessions/pelunna-labs.desktop"; do
    findings=$(desktop-file-validate "$entry" 2>&1) && [[ -z $findings ]] ||
        fail "$entry: $findings"
done
appstreamcli validate --no-net --no-color "$data/$app.metainfo.xml" >"$work/appstream" 2>&1 ||
    fail "the metainfo does not validate" "$work/appstream"

metainfo() {
    xmllint --xpath "$1" "$data/$app.metainfo.xml"
}
[[ $(metainfo 'string(//releases/release[1]/@version)') == "$2" ]] ||
    fail "the newest release in the metainfo is not this build's $2"
for ((i = 1; i <= $(metainfo 'count(//screenshot/image)'); i++)); do
    image="//screenshot[$i]/image"
    file=$data/screenshots/$(basename "$(metainfo "string($image)")")
    size=$(identify -format '%w %h' "$file") || fail "screenshot $file is not committed"
    [[ $size == "$(metainfo "string($image/@width)") $(metainfo "string($image/@height)")" ]] ||
        fail "$file is $size, not the size the metainfo gives"
done

# Rendered by the loader GTK uses, at the sizes a desktop shows: something must be drawn.
for icon in "$data"/icons/hicolor/*/apps/*.svg; do
    for size in 16 48 128; do
        gdk-pixbuf-thumbnailer -s "$size" "$icon" "$work/icon.png" || fail "$icon does not load"
        coverage=$(convert "$work/icon.png" -alpha extract -format '%[fx:mean>0.1]' info:)
        ((coverage == 1)) || fail "$icon is almost empty at $size px"
    done
done

# The session's page only points to this one.
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$data/pelunna-labs.1" >/dev/null \
    2>"$work/warnings" && [[ ! -s $work/warnings ]] ||
    fail "the manual page does not format cleanly" "$work/warnings"
