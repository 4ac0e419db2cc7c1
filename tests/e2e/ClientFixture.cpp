#include "ClientFixture.hpp"

#include <glib.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace pelunna::e2e {
namespace fs = std::filesystem;

// Shared with the asynchronous callbacks, so that a callback arriving after the fixture is gone
// still has somewhere to write.
struct Client::Process {
    GSubprocess* subprocess = nullptr;
    GDataInputStream* output = nullptr;
    GCancellable* cancellable = g_cancellable_new();
    std::vector<std::string> lines;
    bool outputEnded = false;
    bool exited = false;

    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        g_clear_object(&output);
        g_clear_object(&subprocess);
        g_clear_object(&cancellable);
    }

    static void readNextLine(const std::shared_ptr<Process>& process) {
        g_data_input_stream_read_line_async(process->output, G_PRIORITY_DEFAULT,
                                            process->cancellable, onLine,
                                            new std::shared_ptr<Process>(process));
    }

    static void onLine(GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<std::shared_ptr<Process>> holder(
            static_cast<std::shared_ptr<Process>*>(data));
        Process& process = **holder;
        gsize length = 0;
        GError* error = nullptr;
        char* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result,
                                                          &length, &error);
        if (line == nullptr) {
            // End of output, or the read was cancelled in teardown.
            g_clear_error(&error);
            process.outputEnded = true;
            return;
        }
        process.lines.emplace_back(line, length);
        g_free(line);
        readNextLine(*holder);
    }

    static void onExit(GObject* /*source*/, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<std::shared_ptr<Process>> holder(
            static_cast<std::shared_ptr<Process>*>(data));
        Process& process = **holder;
        g_subprocess_wait_finish(process.subprocess, result, nullptr);
        process.exited = true;
    }
};

namespace {

std::string hostTempDir() {
    GError* error = nullptr;
    char* dir = g_dir_make_tmp("pelunna-e2e-XXXXXX", &error);
    if (dir == nullptr) {
        const std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("cannot make a temporary folder: " + message);
    }
    std::string path = dir;
    g_free(dir);
    return path;
}

std::string tail(const fs::path& file, std::size_t maxBytes) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.size() > maxBytes ? text.substr(text.size() - maxBytes) : text;
}

std::optional<int> field(const std::string& text, const std::string& label) {
    const auto at = text.find(label);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    try {
        return std::stoi(text.substr(at + label.size()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<Geometry> parseXwininfo(const ToolResult& result) {
    if (!result.finished || result.exitStatus != 0) {
        return std::nullopt;
    }
    const auto x = field(result.out, "Absolute upper-left X:");
    const auto y = field(result.out, "Absolute upper-left Y:");
    const auto width = field(result.out, "Width:");
    const auto height = field(result.out, "Height:");
    if (!x || !y || !width || !height) {
        return std::nullopt;
    }
    return Geometry{*x, *y, *width, *height};
}

bool matches(const std::string& line, const std::string& text, Match match) {
    return match == Match::exact ? line == text : line.starts_with(text);
}

}  // namespace

void Client::SetUp() {
    root_ = hostTempDir();
    for (const char* dir : {"data", "cache", "config", "runtime"}) {
        fs::create_directories(root_ / dir);
    }
    // A runtime folder is private to its user; libraries may refuse one that is not.
    fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    try {
        server_ = std::make_unique<test::TestServer>(PELUNNA_E2E_PORT);
    } catch (const std::exception& error) {
        FAIL() << error.what() << " (the client's start page is on port " << PELUNNA_E2E_PORT
               << "; is another run using it?)";
    }
}

void Client::TearDown() {
    if (process_) {
        if (!process_->exited) {
            sendSignal(SIGTERM);
            test::runUntil([&] { return process_->exited; }, deadlineSeconds);
        }
        if (!process_->exited) {
            ADD_FAILURE() << "the client ignored SIGTERM for " << deadlineSeconds << " s";
            g_subprocess_force_exit(process_->subprocess);
            test::runUntil([&] { return process_->exited; }, deadlineSeconds);
        }
        // The engine's helper processes may hold the pipe a little longer: stop reading.
        g_cancellable_cancel(process_->cancellable);
        test::runUntil([&] { return process_->outputEnded; }, deadlineSeconds);
        if (HasFailure()) {
            std::cerr << "client stdout:\n"
                      << describeLines(process_->lines) << "client stderr (end):\n"
                      << tail(root_ / "client.stderr", 4000) << "\n";
        }
    }
    process_.reset();
    server_.reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void Client::launch() {
    ASSERT_FALSE(process_) << "one client per test";
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_PIPE);
    g_subprocess_launcher_setenv(launcher, "XDG_DATA_HOME", dataHome().c_str(), TRUE);
    g_subprocess_launcher_setenv(launcher, "XDG_CACHE_HOME", cacheHome().c_str(), TRUE);
    g_subprocess_launcher_setenv(launcher, "XDG_CONFIG_HOME", configHome().c_str(), TRUE);
    g_subprocess_launcher_setenv(launcher, "XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), TRUE);
    g_subprocess_launcher_set_stderr_file_path(launcher, (root_ / "client.stderr").c_str());
    const char* argv[] = {PELUNNA_E2E_CLIENT, nullptr};
    GError* error = nullptr;
    GSubprocess* subprocess = g_subprocess_launcher_spawnv(launcher, argv, &error);
    g_object_unref(launcher);
    ASSERT_NE(subprocess, nullptr) << error->message;

    process_ = std::make_shared<Process>();
    process_->subprocess = subprocess;
    process_->output = g_data_input_stream_new(g_subprocess_get_stdout_pipe(subprocess));
    g_data_input_stream_set_newline_type(process_->output, G_DATA_STREAM_NEWLINE_TYPE_LF);
    Process::readNextLine(process_);
    g_subprocess_wait_async(subprocess, nullptr, Process::onExit,
                            new std::shared_ptr<Process>(process_));
}

const std::vector<std::string>& Client::lines() const {
    static const std::vector<std::string> none;
    return process_ ? process_->lines : none;
}

int Client::count(const std::string& text, Match match) const {
    const auto& all = lines();
    return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const std::string& line) {
        return matches(line, text, match);
    }));
}

std::optional<std::size_t> Client::find(const std::string& text, int occurrence,
                                        Match match) const {
    const auto& all = lines();
    int seen = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (matches(all[i], text, match) && ++seen == occurrence) {
            return i;
        }
    }
    return std::nullopt;
}

::testing::AssertionResult Client::waitForLine(const std::string& text, int occurrence, Match match,
                                               double seconds) {
    if (!process_) {
        return ::testing::AssertionFailure() << "no client";
    }
    // A client that has exited and said everything will print nothing more.
    if (test::runUntil([&] { return find(text, occurrence, match) || process_->outputEnded; },
                       seconds) &&
        find(text, occurrence, match)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "no " << (match == Match::prefix ? "line starting with" : "line") << " \"" << text
           << "\" (occurrence " << occurrence << ") within " << seconds
           << " s; the client printed:\n"
           << describeLines(lines());
}

::testing::AssertionResult Client::waitForExit(double seconds) {
    if (!process_) {
        return ::testing::AssertionFailure() << "no client";
    }
    if (test::runUntil([&] { return process_->exited && process_->outputEnded; }, seconds)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << (process_->exited ? "the client's output did not end" : "the client did not exit")
           << " within " << seconds << " s";
}

bool Client::exitedNormally() const {
    return process_ && process_->exited && g_subprocess_get_if_exited(process_->subprocess);
}

int Client::exitStatus() const {
    return exitedNormally() ? g_subprocess_get_exit_status(process_->subprocess) : -1;
}

void Client::sendSignal(int signal) {
    if (process_ && !process_->exited) {
        g_subprocess_send_signal(process_->subprocess, signal);
    }
}

ToolResult Client::run(const std::vector<std::string>& argv, double seconds) {
    struct Pending {
        bool done = false;
        std::string out;
        std::string err;
    };
    ToolResult result;
    std::vector<const char*> args;
    for (const auto& arg : argv) {
        args.push_back(arg.c_str());
    }
    args.push_back(nullptr);
    GError* error = nullptr;
    GSubprocess* subprocess =
        g_subprocess_newv(args.data(),
                          static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE |
                                                        G_SUBPROCESS_FLAGS_STDERR_PIPE),
                          &error);
    if (subprocess == nullptr) {
        result.err = error->message;
        g_error_free(error);
        return result;
    }
    auto pending = std::make_shared<Pending>();
    g_subprocess_communicate_utf8_async(
        subprocess, nullptr, nullptr,
        [](GObject* source, GAsyncResult* asyncResult, gpointer data) {
            const std::unique_ptr<std::shared_ptr<Pending>> holder(
                static_cast<std::shared_ptr<Pending>*>(data));
            char* out = nullptr;
            char* err = nullptr;
            g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), asyncResult, &out, &err,
                                                 nullptr);
            (*holder)->out = out != nullptr ? out : "";
            (*holder)->err = err != nullptr ? err : "";
            g_free(out);
            g_free(err);
            (*holder)->done = true;
        },
        new std::shared_ptr<Pending>(pending));
    test::runUntil([&] { return pending->done; }, seconds);
    if (!pending->done) {
        g_subprocess_force_exit(subprocess);
        test::runUntil([&] { return pending->done; }, seconds);
        result.err = argv.front() + " did not finish within " + std::to_string(seconds) + " s";
    } else {
        result.finished = true;
        result.exitStatus =
            g_subprocess_get_if_exited(subprocess) ? g_subprocess_get_exit_status(subprocess) : -1;
        result.out = pending->out;
        result.err = pending->err;
    }
    g_object_unref(subprocess);
    return result;
}

std::string Client::windowId() {
    // GTK also creates an unmapped leader window of the same class: only the mapped one counts.
    const ToolResult result =
        run({"xdotool", "search", "--sync", "--onlyvisible", "--class", "^pelunna-labs$"});
    std::istringstream ids(result.out);
    std::string id;
    ids >> id;
    if (!result.finished || id.empty()) {
        ADD_FAILURE() << "no visible window of class pelunna-labs: " << result.err;
    }
    return id;
}

bool Client::isFullScreen(const std::string& window) {
    const ToolResult result = run({"xprop", "-id", window, "_NET_WM_STATE"});
    return result.finished && result.exitStatus == 0 &&
           result.out.find("_NET_WM_STATE_FULLSCREEN") != std::string::npos;
}

::testing::AssertionResult Client::waitForFullScreen(const std::string& window) {
    const gint64 deadline =
        g_get_monotonic_time() + static_cast<gint64>(deadlineSeconds * G_USEC_PER_SEC);
    while (!isFullScreen(window)) {
        if (g_get_monotonic_time() >= deadline) {
            return ::testing::AssertionFailure()
                   << "window " << window << " is not _NET_WM_STATE_FULLSCREEN after "
                   << deadlineSeconds << " s";
        }
        // Keeps the main context serving the client between two looks at the window.
        test::runUntil([] { return false; }, 0.1);
    }
    return ::testing::AssertionSuccess();
}

std::optional<Geometry> Client::geometry(const std::string& window) {
    return parseXwininfo(run({"xwininfo", "-id", window}));
}

std::optional<Geometry> Client::screenGeometry() {
    return parseXwininfo(run({"xwininfo", "-root"}));
}

::testing::AssertionResult Client::pressKeys(const std::string& window,
                                             const std::vector<std::string>& keys) {
    std::vector<std::string> argv = {"xdotool", "windowactivate", "--sync", window, "key"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    const ToolResult result = run(argv);
    if (result.finished && result.exitStatus == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "xdotool failed (" << result.exitStatus << "): " << result.err;
}

std::vector<fs::path> filesContaining(const std::vector<fs::path>& roots, const std::string& text) {
    std::vector<std::string> needles = {text};
    glong units = 0;
    gunichar2* utf16 = g_utf8_to_utf16(text.c_str(), -1, nullptr, &units, nullptr);
    if (utf16 != nullptr) {
        std::string bytes;
        for (glong i = 0; i < units; ++i) {
            bytes.push_back(static_cast<char>(utf16[i] & 0xff));
            bytes.push_back(static_cast<char>(utf16[i] >> 8));
        }
        needles.push_back(bytes);
        g_free(utf16);
    }

    std::vector<fs::path> found;
    for (const auto& root : roots) {
        std::error_code error;
        for (fs::recursive_directory_iterator
                 it(root, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            if (!it->is_regular_file(error)) {
                continue;
            }
            std::ifstream in(it->path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            if (std::any_of(needles.begin(), needles.end(), [&](const std::string& needle) {
                    return bytes.find(needle) != std::string::npos;
                })) {
                found.push_back(it->path());
            }
        }
    }
    return found;
}

std::string describeLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += "  | " + line + "\n";
    }
    return text;
}

}  // namespace pelunna::e2e
