// Traces the page's use of the media-capture and permission APIs in the log, without changing
// what any call returns, resolves or throws.
(function () {
    'use strict';

    const frameInfo =
        window.self === window.top ? '[MAIN]' : '[IFRAME:' + location.href.substring(0, 80) + ']';
    const log = (...parts) => console.log(...parts);

    log('🔧 Media debug loading in', frameInfo);

    const mediaDevices = navigator.mediaDevices;
    log('🔍 API check in', frameInfo, ':',
        'mediaDevices=' + !!mediaDevices,
        'getUserMedia=' + !!(mediaDevices && mediaDevices.getUserMedia),
        'legacyGetUserMedia=' + !!navigator.getUserMedia,
        'webkitGetUserMedia=' + !!navigator.webkitGetUserMedia,
        'permissions=' + !!navigator.permissions,
        'isSecureContext=' + window.isSecureContext);

    if (mediaDevices && mediaDevices.getUserMedia) {
        const getUserMedia = mediaDevices.getUserMedia.bind(mediaDevices);
        mediaDevices.getUserMedia = function (constraints) {
            log('🎤 getUserMedia called in', frameInfo, 'with:', JSON.stringify(constraints));
            return getUserMedia(constraints).then(
                (stream) => {
                    const tracks = stream.getTracks().map((t) => t.kind + ':' + t.label).join(', ');
                    log('✅ getUserMedia SUCCESS in', frameInfo, '- tracks:', tracks);
                    return stream;
                },
                (error) => {
                    log('❌ getUserMedia FAILED in', frameInfo, ':', error.name, error.message);
                    throw error;
                });
        };
    }

    for (const name of ['getUserMedia', 'webkitGetUserMedia', 'mozGetUserMedia']) {
        if (!(name in navigator)) {
            continue;
        }
        const legacy = navigator[name].bind(navigator);
        navigator[name] = function (constraints, onSuccess, onError) {
            log('🎤 LEGACY ' + name + ' called in', frameInfo);
            return legacy(
                constraints,
                (stream) => {
                    log('✅ LEGACY ' + name + ' SUCCESS in', frameInfo);
                    onSuccess(stream);
                },
                (error) => {
                    log('❌ LEGACY ' + name + ' FAILED in', frameInfo, ':', error.name, error.message);
                    onError(error);
                });
        };
    }

    const permissions = navigator.permissions;
    if (permissions && permissions.query) {
        const query = permissions.query.bind(permissions);
        permissions.query = function (descriptor) {
            log('🔐 permissions.query called in', frameInfo, 'with:', JSON.stringify(descriptor));
            return query(descriptor).then(
                (result) => {
                    log('🔐 permissions.query result in', frameInfo, ':', descriptor.name, '=',
                        result.state);
                    return result;
                },
                (error) => {
                    log('🔐 permissions.query FAILED in', frameInfo, ':', error.name, error.message);
                    throw error;
                });
        };
    }

    const mediaErrors = new Set(['NotAllowedError', 'NotFoundError', 'AbortError',
                                 'NotReadableError', 'OverconstrainedError', 'SecurityError']);
    window.addEventListener('unhandledrejection', (event) => {
        const reason = event.reason;
        if (reason && mediaErrors.has(reason.name)) {
            log('🚨 Unhandled media rejection in', frameInfo, ':', reason.name, reason.message);
        }
    });

    const AudioContextType = window.AudioContext || window.webkitAudioContext;
    if (AudioContextType && AudioContextType.prototype.createMediaStreamSource) {
        const createSource = AudioContextType.prototype.createMediaStreamSource;
        AudioContextType.prototype.createMediaStreamSource = function (stream) {
            log('🔊 AudioContext.createMediaStreamSource called in', frameInfo);
            return createSource.call(this, stream);
        };
    }

    log('🔧 Full media debug wrapper installed in', frameInfo);
})();
