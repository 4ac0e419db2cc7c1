// Puts the "microphone" permission-policy token on every iframe, present at load or added later,
// so that speaking exercises embedded in frames may ask for the microphone.
(function () {
    'use strict';

    const frameInfo =
        window.self === window.top ? '[MAIN]' : '[IFRAME:' + location.href.substring(0, 80) + ']';

    // Returns whether the attribute had to be rewritten.
    function allowMicrophone(frame) {
        const allow = frame.getAttribute('allow') || '';
        if (allow.includes('microphone')) {
            return false;
        }
        frame.setAttribute('allow', allow ? allow + '; microphone' : 'microphone');
        return true;
    }

    function describe(frame) {
        return frame.src || frame.id || '(no src)';
    }

    // getElementsByTagName, not querySelectorAll: the engine keeps a static node list's elements,
    // and with them the whole document, long after the page is gone; a lesson walking from page
    // to page then held its last pages' documents and pictures (about 80 MiB) in the page process.
    function fixIframes() {
        const frames = document.getElementsByTagName('iframe');
        for (const frame of frames) {
            if (allowMicrophone(frame)) {
                console.log('🔧 Added allow=microphone to iframe in', frameInfo, ':', describe(frame));
            }
        }
        if (frames.length > 0) {
            console.log('📋 Found', frames.length, 'iframes in', frameInfo);
        }
    }

    if (document.readyState === 'loading') {
        document.addEventListener('DOMContentLoaded', fixIframes, { once: true });
    } else {
        fixIframes();
    }

    new MutationObserver((records) => {
        for (const record of records) {
            for (const node of record.addedNodes) {
                if (node.tagName === 'IFRAME' && allowMicrophone(node)) {
                    console.log(
                        '🔧 Added allow=microphone to NEW iframe in', frameInfo, ':', describe(node));
                }
                // Runs for every node the parser inserts: a childless node cannot hold an iframe,
                // so skip the search for it.
                if (node.firstElementChild && typeof node.getElementsByTagName === 'function') {
                    for (const nested of node.getElementsByTagName('iframe')) {
                        if (allowMicrophone(nested)) {
                            console.log('🔧 Added allow=microphone to nested NEW iframe in', frameInfo);
                        }
                    }
                }
            }
        }
    }).observe(document.documentElement, { childList: true, subtree: true });
})();
