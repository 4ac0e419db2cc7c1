#include "platform/webkit/WebKitValues.hpp"

#include <utility>

namespace pelunna::platform {

ProcessTermination termination(WebKitWebProcessTerminationReason reason) {
    switch (reason) {
        case WEBKIT_WEB_PROCESS_CRASHED:
            return ProcessTermination::crashed;
        case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT:
            return ProcessTermination::exceededMemoryLimit;
        case WEBKIT_WEB_PROCESS_TERMINATED_BY_API:
            return ProcessTermination::endedByClient;
    }
    return ProcessTermination::crashed;
}

std::vector<CertificateProblem> certificateProblems(GTlsCertificateFlags errors) {
    static constexpr std::pair<GTlsCertificateFlags, CertificateProblem> named[] = {
        {G_TLS_CERTIFICATE_UNKNOWN_CA, CertificateProblem::unknownAuthority},
        {G_TLS_CERTIFICATE_BAD_IDENTITY, CertificateProblem::wrongHost},
        {G_TLS_CERTIFICATE_NOT_ACTIVATED, CertificateProblem::notYetValid},
        {G_TLS_CERTIFICATE_EXPIRED, CertificateProblem::expired},
        {G_TLS_CERTIFICATE_REVOKED, CertificateProblem::revoked},
        {G_TLS_CERTIFICATE_INSECURE, CertificateProblem::insecureAlgorithm},
        {G_TLS_CERTIFICATE_GENERIC_ERROR, CertificateProblem::other},
    };
    std::vector<CertificateProblem> problems;
    for (const auto& [flag, problem] : named) {
        if ((errors & flag) != 0) {
            problems.push_back(problem);
        }
    }
    return problems;
}

LoadFailure loadFailure(const GError* error) {
    const bool superseded = error != nullptr && (g_error_matches(error, WEBKIT_NETWORK_ERROR,
                                                                 WEBKIT_NETWORK_ERROR_CANCELLED) ||
                                                 error->domain == WEBKIT_POLICY_ERROR);
    return superseded ? LoadFailure::superseded : LoadFailure::unreachable;
}

MediaCaptureType captureType(bool display, bool video, bool audio) {
    if (display) {
        return MediaCaptureType::screen;
    }
    if (video && audio) {
        return MediaCaptureType::cameraAndMicrophone;
    }
    return video ? MediaCaptureType::camera : MediaCaptureType::microphone;
}

}  // namespace pelunna::platform
