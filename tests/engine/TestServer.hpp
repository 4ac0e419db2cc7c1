#pragma once

#include <libsoup/soup.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pelunna::test {

struct ServedRequest {
    std::string path;
    std::string userAgent;
    std::string cacheControl;
};

struct Response {
    unsigned status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::map<std::string, std::string> headers;
};

// An HTTP server on a free port of the loopback interfaces (IPv4 and IPv6), running on the
// default main context: tests serve their pages from it and read what was requested.
class TestServer {
public:
    using Handler = std::function<Response(const ServedRequest&)>;

    TestServer();
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // "http://HOST:PORT" + path.
    [[nodiscard]] std::string url(const std::string& path,
                                  const std::string& host = "localhost") const;

    void route(const std::string& path, Handler handler);
    void page(const std::string& path, const std::string& html);

    [[nodiscard]] const std::vector<ServedRequest>& requests() const { return requests_; }
    [[nodiscard]] int hits(const std::string& path) const;

private:
    static void handle(SoupServer* server, SoupServerMessage* message, const char* path,
                       GHashTable* query, gpointer self);

    SoupServer* server_;
    std::uint16_t port_ = 0;
    std::map<std::string, Handler> routes_;
    std::vector<ServedRequest> requests_;
};

// Iterates the default main context until the condition holds or the deadline passes.
bool runUntil(const std::function<bool()>& condition, double timeoutSeconds = 10.0);

}  // namespace pelunna::test
