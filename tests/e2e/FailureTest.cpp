#include <glib.h>

#include <string>

#include "ClientFixture.hpp"

namespace pelunna::e2e {
namespace {

const std::string startUrl = "http://localhost:" + std::to_string(PELUNNA_E2E_PORT) + "/start.html";
const std::string loadedStart = "✅ Page loaded successfully: " + startUrl;

// A certificate for localhost that nobody vouches for.
GTlsCertificate* selfSignedCertificate(const std::filesystem::path& folder) {
    const std::string key = (folder / "key.pem").string();
    const std::string certificate = (folder / "certificate.pem").string();
    const char* argv[] = {
        "openssl", "req",   "-x509",         "-newkey", "rsa:2048",  "-nodes", "-days",
        "2",       "-subj", "/CN=localhost", "-keyout", key.c_str(), "-out",   certificate.c_str(),
        nullptr};
    gint status = 0;
    if (!g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                               G_SPAWN_STDERR_TO_DEV_NULL),
                      nullptr, nullptr, nullptr, nullptr, &status, nullptr) ||
        !g_spawn_check_wait_status(status, nullptr)) {
        return nullptr;
    }
    return g_tls_certificate_new_from_files(certificate.c_str(), key.c_str(), nullptr);
}

using Failure = Client;

// The page is never shown, and nothing reads as a success.
TEST_F(Failure, AnUntrustedCertificateIsOneProvisionalFailureAndNoSuccess) {
    GTlsCertificate* certificate = selfSignedCertificate(root());
    ASSERT_NE(certificate, nullptr) << "openssl could not make a certificate";
    test::TestServer secure(0, certificate);
    g_object_unref(certificate);
    secure.page("/lesson", "<!doctype html><script>console.log('shown')</script>");
    // Ticks after the navigation fail tell that every line about it has been printed.
    server().page("/start.html", R"(<!doctype html><script>
        setTimeout(() => { location.href = ')" +
                                     secure.url("/lesson") + R"('; }, 300);
        setInterval(() => console.log('tick'), 200);
    </script>)");
    launch();
    ASSERT_FALSE(HasFatalFailure());

    const std::string failed =
        "❌ Provisional navigation failed: TLS certificate for localhost: unknown authority";
    ASSERT_TRUE(waitForLine(failed)) << describeLines(lines());
    const int ticks = count(std::string(consolePrefix) + R"(["tick"])");
    ASSERT_TRUE(waitForLine(std::string(consolePrefix) + R"(["tick"])", ticks + 2));
    EXPECT_EQ(count(failed), 1);
    EXPECT_EQ(count("✅ Page loaded successfully: ", Match::prefix), 1);
    EXPECT_EQ(secure.hits("/lesson"), 0);
}

// The lab computer came up before its network: once it is there, Ctrl+R opens the lab.
TEST_F(Failure, CtrlRLoadsTheStartPageThatCouldNotBeReached) {
    stopServer();
    launch();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForLine("❌ Provisional navigation failed: ", 1, Match::prefix));
    ASSERT_TRUE(waitForLine(enterFullscreenLine));

    startServer();
    server().page("/start.html", "<!doctype html><p>lab</p>");
    ASSERT_TRUE(pressKeys(windowId(), {"ctrl+r"}));
    EXPECT_TRUE(waitForLine("🔄 Reloading from origin..."));
    EXPECT_TRUE(waitForLine(loadedStart));
    EXPECT_EQ(server().hits("/start.html"), 1);
}

}  // namespace
}  // namespace pelunna::e2e
