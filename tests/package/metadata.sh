#!/usr/bin/env bash
# The desktop entries, AppStream metadata, icons, screenshots and manual page: valid for the
# tools that read them, and agreeing with each other and with the client.
# Usage: metadata.sh DATA_DIR PROJECT_VERSION
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

data=$1
version=$2
app_id=com.pelunnalabs.Labs
entry=$data/$app_id.desktop
session=$data/wayland-sessions/pelunna-labs.desktop
metainfo=$data/$app_id.metainfo.xml

# Validators print their findings and may still exit 0 for warnings: any finding fails.
for file in "$entry" "$session"; do
    findings=$(desktop-file-validate "$file" 2>&1) || fail "desktop-file-validate $file: $findings"
    [[ -z $findings ]] || fail "desktop-file-validate $file: $findings"
done
appstreamcli validate --no-net --no-color "$metainfo" >"$work/appstream.log" 2>&1 || {
    show "appstreamcli validate" "$work/appstream.log"
    fail "the metainfo does not validate"
}
echo "ok: validators"

# One key of a desktop entry's main group.
key() {
    sed -n '/^\[Desktop Entry\]/,/^\[/ s/^'"$2"'=//p' "$1"
}
[[ $(key "$entry" Name) == "Pelunna Labs" ]] || fail "entry name: $(key "$entry" Name)"
[[ $(key "$entry" Exec) == pelunna-labs ]] ||
    fail "the entry must start the client without file or URL arguments: $(key "$entry" Exec)"
# The window's WM_CLASS instance is the program name the client sets.
[[ $(key "$entry" StartupWMClass) == pelunna-labs ]] ||
    fail "StartupWMClass: $(key "$entry" StartupWMClass)"
categories=";$(key "$entry" Categories)"
[[ $categories == *";Education;"* && $categories == *";Languages;"* ]] ||
    fail "categories: $categories"
[[ $(key "$entry" Icon) == "$app_id" ]] || fail "icon name: $(key "$entry" Icon)"
[[ $(key "$session" Exec) == pelunna-labs-session && -x $data/pelunna-labs-session ]] ||
    fail "the session must run the executable launcher: $(key "$session" Exec)"
echo "ok: desktop entries"

# The metainfo names the entry and the release of this build, and every screenshot it shows is
# committed at the size it claims.
python3 - "$metainfo" "$app_id" "$version" "$data/screenshots" >"$work/screenshots" <<'EOF' ||
import sys, xml.etree.ElementTree as ET
path, app_id, version, shots = sys.argv[1:]
root = ET.parse(path).getroot()
def need(condition, message):
    if not condition:
        sys.exit(message)
need(root.findtext("id") == app_id, "id: %r" % root.findtext("id"))
launchable = root.find("launchable[@type='desktop-id']")
need(launchable is not None and launchable.text == app_id + ".desktop", "launchable")
releases = root.findall("releases/release")
need(releases and releases[0].get("version") == version,
     "newest release %r, the build is %r" % (releases and releases[0].get("version"), version))
images = root.findall("screenshots/screenshot/image")
need(images, "no screenshots")
prefix = "https://pelunnalabs.com/"
for image in images:
    need(image.text.startswith(prefix), "screenshot outside the site: " + image.text)
    print(shots + "/" + image.text.rsplit("/", 1)[1], image.get("width"), image.get("height"))
EOF
    fail "metainfo: see above"
while read -r file width height; do
    [[ -f $file ]] || fail "screenshot $file is not committed"
    size=$(identify -format '%w %h' "$file")
    [[ $size == "$width $height" ]] || fail "$file is $size, the metainfo says $width $height"
done <"$work/screenshots"
echo "ok: metainfo agrees with the entry, the version and the screenshots"

# Rendered by the loader GTK itself uses, at the sizes a desktop shows: something must be drawn.
for icon in "$data/icons/hicolor/scalable/apps/$app_id.svg" \
    "$data/icons/hicolor/symbolic/apps/$app_id-symbolic.svg"; do
    for size in 16 48 128; do
        png=$work/icon-$size.png
        gdk-pixbuf-thumbnailer -s "$size" "$icon" "$png" || fail "$icon does not load"
        coverage=$(convert "$png" -alpha extract -format '%[fx:mean]' info:)
        python3 -c "import sys; sys.exit(not float(sys.argv[1]) > 0.1)" "$coverage" ||
            fail "$icon at $size px is almost empty (coverage $coverage)"
    done
done
echo "ok: icons"

LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$data/pelunna-labs.1" \
    >"$work/man.txt" 2>"$work/man.warnings" || fail "man cannot format the page"
[[ ! -s $work/man.warnings ]] || {
    show "man warnings" "$work/man.warnings"
    fail "the manual page has formatting warnings"
}
# The page documents the reset command a learner types, exactly.
grep -qF 'PermissionStore.DeletePermission \' "$work/man.txt" &&
    grep -qF 'devices microphone com.pelunnalabs.Labs' "$work/man.txt" ||
    fail "the manual page lacks the microphone reset command"
echo "ok: manual page"
