// Forwards every console.log call to the native side through the "logging" message handler,
// after the page's own console has shown it.
(function () {
    'use strict';

    const pageLog = console.log;

    console.log = function (...args) {
        pageLog.apply(console, args);
        try {
            window.webkit.messageHandlers.logging.postMessage(JSON.stringify(args));
        } catch (_) {
            // No handler in this frame, or an argument JSON cannot encode (a cycle): logging
            // must never break the page.
        }
    };
})();
