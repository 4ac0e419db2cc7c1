#!/usr/bin/env bash
# What goes wrong on a lab computer: the client is killed ("killed"), the lab cannot be reached or
# its certificate is vouched for by nobody ("unreachable").
# Usage: failure.sh killed|unreachable   (under scripts/headless, with lib.sh's variables)
source "$(dirname -- "${BASH_SOURCE[0]}")/lib.sh"

# Reports what an earlier session left in local storage, a cookie and IndexedDB, then stores the
# token in all three. The page spells the token in two pieces, so that only stored copies hold it
# whole.
killed() {
    local suffix=$RANDOM$RANDOM
    local token=lab-token~$suffix
    page start.html <<EOF
<!doctype html><script>
const token = ['lab-token', '$suffix'].join('~');
const open = indexedDB.open('e2e', 1);
open.onupgradeneeded = () => open.result.createObjectStore('tokens');
open.onsuccess = () => {
    const read = open.result.transaction('tokens').objectStore('tokens').get('token');
    read.onsuccess = () => {
        console.log('found', localStorage.getItem('e2e'), document.cookie, read.result ?? null);
        localStorage.setItem('e2e', token);
        document.cookie = 'e2e=' + token + '; max-age=86400; path=/';
        const write = open.result.transaction('tokens', 'readwrite');
        write.objectStore('tokens').put(token, 'token');
        write.oncomplete = () => console.log('stored', localStorage.getItem('e2e') === token,
                                             document.cookie.includes(token));
    };
};
</script>
EOF
    serve
    local nothing_found
    nothing_found=$(console '["found",null,"",null]')
    launch
    wait_line "$nothing_found"
    wait_line "$(console '["stored",true,true]')"
    # As a power cut or the out-of-memory killer would: the client and every engine process.
    # shellcheck disable=SC2046 # one pid a word
    kill -KILL $(tree "$client")
    wait_exit
    ((status == 128 + 9)) || fail "the client was not killed"

    # Without a file the scan must find, finding nothing would prove nothing.
    echo "$token" >"$work/home/planted"
    # Also as UTF-16LE, which the engine keeps some strings in.
    local utf16
    utf16=$(sed 's/./&\\x00/g' <<<"$token")
    local found
    found=$({ grep -rlaP --devices=skip "$token|$utf16" /tmp /var/tmp "${TMPDIR:-/tmp}" "$work" ||
        true; } 2>/dev/null | sort -u)
    [[ $found == "$work/home/planted" ]] || fail "the killed client left its data: $found"

    launch
    wait_line "$nothing_found"
}

# The lab computer came up before its network: the screen says so, and once the lab is there it
# opens with nobody at the keyboard. A certificate nobody vouches for then fails once and never
# reads as loaded.
unreachable() {
    launch
    wait_for "the failed start" eval '(($(count --prefix "$failed") >= 1))'
    wait_line "$entered"
    wait_for "the notice" notice_at $((width / 2)) $((height / 2))

    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
        -keyout "$work/key.pem" -out "$work/certificate.pem" 2>/dev/null
    page lesson <<<"<!doctype html><script>console.log('shown')</script>"
    serve "$work/certificate.pem" "$work/key.pem"
    # Ticks after the failure tell that every line about it has been printed.
    page start.html <<EOF
<script>setTimeout(() => location.href = 'https://localhost:$((PELUNNA_E2E_PORT + 1))/lesson', 300);
setInterval(() => console.log('tick'), 200);</script>
EOF
    serve
    within=30 wait_line "$loaded$lab/start.html"
    (($(count "🔄 Trying the lab again: $lab/start.html") >= 1)) || fail "no retry line"
    wait_for "the notice gone" no_notice_at $((width / 2)) $((height / 2))

    local refused="${failed}TLS certificate for localhost: unknown authority" tick ticks
    wait_line "$refused"
    tick=$(console '["tick"]')
    ticks=$(count "$tick")
    wait_line "$tick" $((ticks + 2))
    (($(count "$refused") == 1 && $(count --prefix "$loaded") == 1 && $(hits /start.html) == 1)) ||
        fail "the untrusted page failed more than once or read as loaded, or the lab came twice"
}

"$1"
