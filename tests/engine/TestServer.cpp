#include "TestServer.hpp"

#include <stdexcept>

namespace pelunna::test {
namespace {

std::string header(SoupMessageHeaders* headers, const char* name) {
    const char* value = soup_message_headers_get_one(headers, name);
    return value != nullptr ? value : "";
}

}  // namespace

TestServer::TestServer() : server_(soup_server_new(nullptr, nullptr)) {
    GError* error = nullptr;
    if (!soup_server_listen_local(server_, 0, static_cast<SoupServerListenOptions>(0), &error)) {
        const std::string message = error->message;
        g_error_free(error);
        g_object_unref(server_);
        throw std::runtime_error("test server cannot listen: " + message);
    }
    GSList* uris = soup_server_get_uris(server_);
    port_ = static_cast<std::uint16_t>(g_uri_get_port(static_cast<GUri*>(uris->data)));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    soup_server_add_handler(server_, nullptr, handle, this, nullptr);
}

TestServer::~TestServer() {
    soup_server_disconnect(server_);
    g_object_unref(server_);
}

std::string TestServer::url(const std::string& path, const std::string& host) const {
    return "http://" + host + ":" + std::to_string(port_) + path;
}

void TestServer::route(const std::string& path, Handler handler) {
    routes_[path] = std::move(handler);
}

void TestServer::page(const std::string& path, const std::string& html) {
    route(path, [html](const ServedRequest&) {
        return Response{200, "text/html; charset=utf-8", html, {}};
    });
}

int TestServer::hits(const std::string& path) const {
    int count = 0;
    for (const auto& request : requests_) {
        count += request.path == path ? 1 : 0;
    }
    return count;
}

void TestServer::handle(SoupServer* /*server*/, SoupServerMessage* message, const char* path,
                        GHashTable* /*query*/, gpointer self) {
    auto* server = static_cast<TestServer*>(self);
    SoupMessageHeaders* in = soup_server_message_get_request_headers(message);
    ServedRequest request{path, header(in, "User-Agent"), header(in, "Cache-Control")};
    server->requests_.push_back(request);

    const auto route = server->routes_.find(path);
    const Response response = route != server->routes_.end()
                                  ? route->second(request)
                                  : Response{404, "text/plain", "not found", {}};
    SoupMessageHeaders* out = soup_server_message_get_response_headers(message);
    for (const auto& [name, value] : response.headers) {
        soup_message_headers_replace(out, name.c_str(), value.c_str());
    }
    soup_server_message_set_status(message, response.status, nullptr);
    soup_server_message_set_response(message, response.contentType.c_str(), SOUP_MEMORY_COPY,
                                     response.body.data(), response.body.size());
}

bool runUntil(const std::function<bool()>& condition, double timeoutSeconds) {
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(timeoutSeconds * 1e6);
    // Wakes the loop every 50 ms so that the deadline is honoured when nothing else happens.
    const guint tick = g_timeout_add(
        50, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool met = condition();
    while (!met && g_get_monotonic_time() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
        met = condition();
    }
    g_source_remove(tick);
    return met;
}

}  // namespace pelunna::test
