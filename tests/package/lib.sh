# Helpers of the package tests: a private work folder and the processes started into it, both
# gone at exit, and failing with the file that explains why.
# shellcheck shell=bash
set -euo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/pelunna-test.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    # A document portal's mount may still hold a folder: scripts/headless unmounts it later.
    rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
# Without this a signal would end the test without the EXIT trap, leaving processes behind.
trap 'exit 1' HUP INT TERM

# FILE, or else $explain, says why.
fail() {
    echo "FAIL: $1" >&2
    local file=${2-${explain-}}
    if [[ -n $file ]]; then tail -c 6000 "$file" >&2; fi
    exit 1
}
# A command that fails unexpectedly says which, also in functions and subshells.
set -E
trap 'fail "unexpected failure of: $BASH_COMMAND"' ERR
