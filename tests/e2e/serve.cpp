// The lab of the end-to-end journeys: serves the files of a folder on the loopback interfaces, over
// HTTPS when given a certificate and its key, and prints the path of each request, a line each.
// "listening" on standard error says it takes requests.
// Usage: serve FOLDER PORT [CERTIFICATE KEY]
#include <libsoup/soup.h>

#include <cstdio>
#include <cstdlib>

namespace {

void answer(SoupServer* /*server*/, SoupServerMessage* message, const char* path,
            GHashTable* /*query*/, gpointer folder) {
    std::printf("%s\n", path);
    std::fflush(stdout);
    gchar* file = g_build_filename(static_cast<const char*>(folder), path, nullptr);
    gchar* body = nullptr;
    gsize size = 0;
    if (g_file_get_contents(file, &body, &size, nullptr)) {
        soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
        soup_server_message_set_response(message, "text/html; charset=utf-8", SOUP_MEMORY_TAKE,
                                         body, size);
    } else {
        soup_server_message_set_status(message, SOUP_STATUS_NOT_FOUND, nullptr);
    }
    g_free(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s FOLDER PORT [CERTIFICATE KEY]\n", argv[0]);
        return 2;
    }
    GError* error = nullptr;
    GTlsCertificate* certificate =
        argc == 5 ? g_tls_certificate_new_from_files(argv[3], argv[4], &error) : nullptr;
    SoupServer* server = soup_server_new("tls-certificate", certificate, nullptr);
    soup_server_add_handler(server, nullptr, answer, argv[1], nullptr);
    const auto https =
        certificate != nullptr ? SOUP_SERVER_LISTEN_HTTPS : SoupServerListenOptions{};
    if (error != nullptr ||
        !soup_server_listen_local(server, static_cast<guint>(std::atoi(argv[2])), https, &error)) {
        std::fprintf(stderr, "serve: %s\n", error->message);
        return 1;
    }
    std::fprintf(stderr, "listening\n");
    g_main_loop_run(g_main_loop_new(nullptr, FALSE));
}
