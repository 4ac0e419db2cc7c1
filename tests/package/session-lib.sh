# The kiosk session launcher against stand-in compositors that record how they were started.
# shellcheck shell=bash
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# The launcher as installed: beside a client, here one that must never run.
install_launcher() {
    mkdir -p "$work/bin"
    cp "$1" "$work/bin/pelunna-labs-session"
    printf '#!/bin/sh\necho "the stand-in compositor started the client" >&2\nexit 99\n' \
        >"$work/bin/pelunna-labs"
    chmod 755 "$work/bin" "$work/bin/pelunna-labs-session" "$work/bin/pelunna-labs"
}

# cage and weston that record their arguments, environment and (weston) configuration in
# $RECORD, then exit with $FAKE_STATUS.
install_fake_compositors() {
    mkdir -p "$work/fake"
    local name
    for name in cage weston; do
        cat >"$work/fake/$name" <<'EOF'
#!/bin/sh
name=$(basename "$0")
printf '%s\n' "$@" >"$RECORD/$name.args"
env >"$RECORD/$name.env"
for arg in "$@"; do
    case $arg in
        --config=*) cp "${arg#--config=}" "$RECORD/weston.ini" ;;
    esac
done
exit "${FAKE_STATUS:-0}"
EOF
        chmod 755 "$work/fake/$name"
    done
}

# A fresh record folder, writable by the user the launcher runs as.
new_record() {
    RECORD=$work/record-$1
    mkdir -p "$RECORD"
    chmod 777 "$RECORD"
    export RECORD
}

# The value of NAME in a recorded environment, or "unset".
recorded_env() {
    local line
    line=$(grep -m1 "^$2=" "$1") || {
        echo unset
        return
    }
    echo "${line#*=}"
}

# The exact arguments a stand-in received, one per line.
expect_args() {
    local file=$1
    shift
    local expected
    expected=$(printf '%s\n' "$@")
    [[ $(cat "$file") == "$expected" ]] || {
        echo "--- expected" >&2
        echo "$expected" >&2
        show "received" "$file"
        fail "wrong arguments for $(basename "$file" .args)"
    }
}
