#!/usr/bin/env bash
# How the kiosk session launcher chooses and starts its compositor, and how it starts the
# client inside weston.
# Usage: session-launcher.sh LAUNCHER
source "$(dirname -- "${BASH_SOURCE[0]}")/session-lib.sh"

install_launcher "$1"
install_fake_compositors
launcher=$work/bin/pelunna-labs-session
chmod 755 "$work"
runtime=$work/runtime
mkdir -m 700 "$runtime"
export PATH=$work/fake:$PATH
unset PELUNNA_LABS_COMPOSITOR XKB_DEFAULT_LAYOUT
export XDG_RUNTIME_DIR=$runtime

# weston: the kiosk shell, an autolaunch of the launcher itself that ends the session with the
# client, the caller's options passed on.
check_weston_start() {
    expect_args "$RECORD/weston.args" "--config=$XDG_RUNTIME_DIR/pelunna-labs/weston.ini" \
        --shell=kiosk-shell.so --backend=headless-backend.so "two words"
    local expected_ini
    expected_ini=$(printf '%s\n' '[core]' shell=kiosk-shell.so idle-time=0 '' '[autolaunch]' \
        "path=$work/bin/pelunna-labs-session" watch=true)
    [[ $(cat "$RECORD/weston.ini") == "$expected_ini" ]] || {
        show "weston.ini" "$RECORD/weston.ini"
        fail "unexpected weston configuration"
    }
    [[ $(stat -c %a "$XDG_RUNTIME_DIR/pelunna-labs") == 700 ]] ||
        fail "the configuration folder is not private"
    [[ $(recorded_env "$RECORD/weston.env" GDK_BACKEND) == wayland ]] ||
        fail "the client would not be told to use Wayland"
    [[ $(recorded_env "$RECORD/weston.env" PELUNNA_LABS_SESSION_STAGE) == client ]] ||
        fail "the autolaunched launcher would not know to start the client"
}

if ((EUID == 0)); then
    # Found through PATH, as a display manager runs a session's Exec.
    new_record root
    status=0
    (PATH=$work/bin:$PATH pelunna-labs-session --backend=headless-backend.so "two words") ||
        status=$?
    ((status == 0)) || fail "the launcher exited $status"
    [[ ! -e $RECORD/cage.args ]] || fail "cage was chosen for root, and cage refuses root"
    check_weston_start
    echo "ok: root gets weston"

    # cage as a user that is not root; the stand-ins must reach its record folder.
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    user_runtime=$work/user-runtime
    mkdir -m 700 "$user_runtime"
    chown 65534:65534 "$user_runtime"
else
    as_user=()
    user_runtime=$runtime
fi

new_record user
XDG_RUNTIME_DIR=$user_runtime "${as_user[@]}" "$launcher" -d || fail "the launcher failed"
[[ ! -e $RECORD/weston.args ]] || fail "weston was chosen although cage is installed"
expect_args "$RECORD/cage.args" -d -- "$work/bin/pelunna-labs"
[[ $(recorded_env "$RECORD/cage.env" GDK_BACKEND) == wayland ]] ||
    fail "the client in cage would not be told to use Wayland"
echo "ok: a user gets cage, with the client beside the launcher"

new_record chosen
XDG_RUNTIME_DIR=$user_runtime PELUNNA_LABS_COMPOSITOR=weston "${as_user[@]}" \
    "$launcher" --backend=headless-backend.so "two words" || fail "the launcher failed"
[[ ! -e $RECORD/cage.args ]] || fail "PELUNNA_LABS_COMPOSITOR=weston still started cage"
XDG_RUNTIME_DIR=$user_runtime check_weston_start
echo "ok: PELUNNA_LABS_COMPOSITOR chooses weston"

# Started from its own folder by a relative name, it still gives weston an absolute path.
new_record relative
(cd "$work" && PELUNNA_LABS_COMPOSITOR=weston bin/pelunna-labs-session \
    --backend=headless-backend.so "two words") || fail "the launcher failed"
check_weston_start
echo "ok: relative start"

# The session's end is the compositor's: its status is the launcher's.
new_record status
status=0
PELUNNA_LABS_COMPOSITOR=weston FAKE_STATUS=7 "$launcher" || status=$?
((status == 7)) || fail "weston exited 7, the launcher $status"
echo "ok: exit status"

new_record unknown
status=0
PELUNNA_LABS_COMPOSITOR=sway "$launcher" 2>"$work/unknown.err" || status=$?
((status == 2)) && grep -q "unknown compositor 'sway'" "$work/unknown.err" ||
    fail "an unknown compositor gave status $status: $(cat "$work/unknown.err")"
echo "ok: unknown compositor refused"

new_record no-runtime
status=0
env -u XDG_RUNTIME_DIR PELUNNA_LABS_COMPOSITOR=weston "$launcher" 2>"$work/runtime.err" ||
    status=$?
((status == 1)) && grep -q XDG_RUNTIME_DIR "$work/runtime.err" ||
    fail "without a runtime folder: status $status, $(cat "$work/runtime.err")"
[[ ! -e $RECORD/weston.args ]] || fail "weston started without a runtime folder"
echo "ok: no runtime folder"

# The client stage, as weston 10 starts it: with the signals weston handles blocked. The client
# must get an empty mask, or a logout's SIGTERM would never reach it.
# Not a shell script: a waiting shell shows the empty mask of sigsuspend, not its own.
cat >"$work/bin/pelunna-labs" <<'EOF'
#!/usr/bin/perl
open(my $status, "<", "/proc/self/status") or die;
open(my $mask, ">", "$ENV{RECORD}/client.mask") or die;
print $mask grep(/^SigBlk:/, <$status>);
open(my $env, ">", "$ENV{RECORD}/client.env") or die;
print $env map("$_=$ENV{$_}\n", sort keys %ENV);
open(my $args, ">", "$ENV{RECORD}/client.args") or die;
print $args map("$_\n", $0, @ARGV);
EOF
new_record client
PELUNNA_LABS_SESSION_STAGE=client perl -MPOSIX -e '
    sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGINT, SIGTERM, SIGCHLD)) or die;
    exec {$ARGV[0]} @ARGV or die' "$launcher" || fail "the client stage failed"
[[ -f $RECORD/client.mask ]] || fail "the client did not start"
[[ $(cat "$RECORD/client.mask") =~ ^SigBlk:[[:space:]]+0+$ ]] ||
    fail "the client starts with blocked signals: $(cat "$RECORD/client.mask")"
expect_args "$RECORD/client.args" "$work/bin/pelunna-labs"
[[ $(recorded_env "$RECORD/client.env" PELUNNA_LABS_SESSION_STAGE) == unset ]] ||
    fail "the client inherits the launcher's stage marker"
echo "ok: the client starts with no blocked signals"
