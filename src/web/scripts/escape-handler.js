// Gives Escape a meaning inside the locked kiosk: close the page's visible overlay, else leave a
// fragment address, else strip full-screen classes.
(function () {
    'use strict';

    // Earliest wins: a page's own close or minimise control, then generic close affordances.
    const closeSelectors = [
        'button[class*="close"]',
        'button[class*="minimize"]',
        'button[title*="Close"]',
        'button[title*="close"]',
        'button[title*="Minimize"]',
        'button[title*="minimize"]',
        '[class*="close-button"]',
        '[class*="minimize-button"]',
        '[class*="close-btn"]',
        '[aria-label*="close"]',
        '[aria-label*="Close"]',
        'a[href="#"]',
        '.modal-close',
        '.close',
    ];

    function isVisible(element) {
        const style = window.getComputedStyle(element);
        return style.display !== 'none' && style.visibility !== 'hidden' &&
            element.offsetParent !== null;
    }

    function clickVisibleCloseControl(event) {
        for (const selector of closeSelectors) {
            try {
                for (const element of document.querySelectorAll(selector)) {
                    if (isVisible(element)) {
                        console.log('🖱️ Clicking button:', selector, element.textContent);
                        element.click();
                        event.preventDefault();
                        event.stopPropagation();
                        return true;
                    }
                }
            } catch (error) {
                console.log('Error clicking button:', error);
            }
        }
        return false;
    }

    console.log('🔧 Escape Handler Loaded');

    document.addEventListener('keydown', (event) => {
        if (event.keyCode !== 27 && event.key !== 'Escape') {
            return;
        }
        console.log('🔴 Escape in WebView! Hash:', location.hash);
        if (clickVisibleCloseControl(event)) {
            console.log('✅ Button clicked');
            return false;
        }
        if (location.hash) {
            console.log('🔙 Hash detected, going back');
            history.back();
            event.preventDefault();
            return;
        }
        document.body.classList.remove('fullscreen', 'maximized', 'modal-open');
        document.documentElement.classList.remove('fullscreen', 'maximized');
        console.log('🔧 Removed fullscreen classes');
    }, true);

    console.log('✅ Escape Handler Ready');
})();
