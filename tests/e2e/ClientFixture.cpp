#include "ClientFixture.hpp"

#include <glib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
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

// A process the test started besides the client.
struct Client::Helper {
    GSubprocess* subprocess = nullptr;
    bool exited = false;

    Helper() = default;
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    ~Helper() { g_clear_object(&subprocess); }
};

// The test's own session bus, so that the permission store and the portals the client starts
// keep their state in the test's folders and go away with it.
struct Client::Bus {
    std::string address;
    GDBusConnection* connection = nullptr;
    guint subscription = 0;
    // Changes of the microphone entry the store announced.
    int changes = 0;

    Bus() = default;
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;
    ~Bus() {
        if (connection != nullptr) {
            g_dbus_connection_signal_unsubscribe(connection, subscription);
            g_dbus_connection_close_sync(connection, nullptr, nullptr);
            g_object_unref(connection);
        }
    }
};

namespace {

constexpr char storeName[] = "org.freedesktop.impl.portal.PermissionStore";
constexpr char storePath[] = "/org/freedesktop/impl/portal/PermissionStore";
constexpr char storeTable[] = "devices";
constexpr char storeEntry[] = "microphone";
constexpr char applicationId[] = "com.pelunnalabs.Labs";
constexpr char applicationPath[] = "/com/pelunnalabs/Labs";

struct Reply {
    GVariant* value = nullptr;
    std::string errorName;
    std::string errorMessage;

    Reply() = default;
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    ~Reply() {
        if (value != nullptr) {
            g_variant_unref(value);
        }
    }
    [[nodiscard]] bool ok() const { return value != nullptr; }
    [[nodiscard]] std::string describe() const { return errorName + ": " + errorMessage; }
};

// A method call that keeps the main context serving the client while it waits.
std::unique_ptr<Reply> call(GDBusConnection* connection, const char* destination, const char* path,
                            const char* interface, const char* method, GVariant* parameters) {
    struct Pending {
        bool done = false;
        std::unique_ptr<Reply> reply = std::make_unique<Reply>();
    };
    auto pending = std::make_shared<Pending>();
    g_dbus_connection_call(
        connection, destination, path, interface, method, parameters, nullptr,
        G_DBUS_CALL_FLAGS_NONE, static_cast<int>(deadlineSeconds * 1000), nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            const std::unique_ptr<std::shared_ptr<Pending>> holder(
                static_cast<std::shared_ptr<Pending>*>(data));
            Reply& reply = *(*holder)->reply;
            GError* error = nullptr;
            reply.value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (error != nullptr) {
                gchar* remote = g_dbus_error_get_remote_error(error);
                reply.errorName = remote != nullptr ? remote : "local error";
                g_free(remote);
                reply.errorMessage = error->message;
                g_error_free(error);
            }
            (*holder)->done = true;
        },
        new std::shared_ptr<Pending>(pending));
    // The call's own timeout ends it; the margin only guards against a lost callback.
    test::runUntil([&] { return pending->done; }, deadlineSeconds + 5);
    if (!pending->done) {
        auto lost = std::make_unique<Reply>();
        lost->errorName = "no reply";
        return lost;
    }
    return std::move(pending->reply);
}

bool isNotFound(const Reply& reply) {
    return reply.errorName == "org.freedesktop.portal.Error.NotFound";
}

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
    for (const char* dir : {"home", "data", "cache", "config", "runtime", "bin"}) {
        fs::create_directories(root_ / dir);
    }
    // A runtime folder is private to its user; libraries may refuse one that is not.
    fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    startServer();
    ASSERT_FALSE(HasFatalFailure());
    startBus();
}

void Client::startServer() {
    try {
        server_ = std::make_unique<test::TestServer>(PELUNNA_E2E_PORT);
    } catch (const std::exception& error) {
        FAIL() << error.what() << " (the client's start page is on port " << PELUNNA_E2E_PORT
               << "; is another run using it?)";
    }
}

void Client::setEnvironment(GSubprocessLauncher* launcher) const {
    g_subprocess_launcher_setenv(launcher, "HOME", homeDir().c_str(), TRUE);
    g_subprocess_launcher_setenv(launcher, "XDG_DATA_HOME", dataHome().c_str(), TRUE);
    g_subprocess_launcher_setenv(launcher, "XDG_CACHE_HOME", cacheHome().c_str(), TRUE);
    g_subprocess_launcher_setenv(launcher, "XDG_CONFIG_HOME", configHome().c_str(), TRUE);
    g_subprocess_launcher_setenv(launcher, "XDG_RUNTIME_DIR", runtimeDir().c_str(), TRUE);
    if (bus_) {
        g_subprocess_launcher_setenv(launcher, "DBUS_SESSION_BUS_ADDRESS", bus_->address.c_str(),
                                     TRUE);
    }
    const char* path = g_getenv("PATH");
    const std::string searchPath =
        binDir().string() + (path != nullptr ? ":" + std::string(path) : "");
    g_subprocess_launcher_setenv(launcher, "PATH", searchPath.c_str(), TRUE);
    // The client chooses how to draw by itself, as on a lab computer, not as the headless desktop
    // would have it.
    g_subprocess_launcher_unsetenv(launcher, "GSK_RENDERER");
    g_subprocess_launcher_unsetenv(launcher, "WEBKIT_DISABLE_COMPOSITING_MODE");
}

GSubprocess* Client::spawnHelper(const std::vector<std::string>& argv) {
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE);
    setEnvironment(launcher);
    // Each helper's diagnostics go to a file of its own, shown when the test fails.
    const std::string name =
        std::to_string(helpers_.size()) + "-" + fs::path(argv.front()).filename().string() + ".log";
    g_subprocess_launcher_set_stderr_file_path(launcher, (root_ / name).c_str());
    std::vector<const char*> args;
    for (const auto& arg : argv) {
        args.push_back(arg.c_str());
    }
    args.push_back(nullptr);
    GError* error = nullptr;
    GSubprocess* subprocess = g_subprocess_launcher_spawnv(launcher, args.data(), &error);
    g_object_unref(launcher);
    if (subprocess == nullptr) {
        ADD_FAILURE() << "cannot start " << argv.front() << ": " << error->message;
        g_error_free(error);
        return nullptr;
    }
    auto helper = std::make_shared<Helper>();
    helper->subprocess = subprocess;
    g_subprocess_wait_async(
        subprocess, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            const std::unique_ptr<std::shared_ptr<Helper>> holder(
                static_cast<std::shared_ptr<Helper>*>(data));
            g_subprocess_wait_finish(G_SUBPROCESS(source), result, nullptr);
            (*holder)->exited = true;
        },
        new std::shared_ptr<Helper>(helper));
    helpers_.push_back(helper);
    return subprocess;
}

void Client::startBus() {
    const std::string address = "unix:path=" + (runtimeDir() / "bus").string();
    // The daemon's environment is what it hands to the services it activates.
    bus_ = std::make_shared<Bus>();
    bus_->address = address;
    if (offersPermissionStore_) {
        spawnHelper(
            {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address});
    } else {
        // A session bus without any activatable service: no permission store, no portals.
        const fs::path config = root_ / "bare-bus.conf";
        std::ofstream(config) << R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>)" << address << R"(</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
        spawnHelper({"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--nopidfile"});
    }
    const auto daemon = helpers_.back();
    GDBusConnection* connection = nullptr;
    std::string lastError = "the daemon did not start";
    test::runUntil(
        [&] {
            if (daemon->exited) {
                return true;
            }
            GError* error = nullptr;
            connection = g_dbus_connection_new_for_address_sync(
                address.c_str(),
                static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                  G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, nullptr, &error);
            if (connection == nullptr) {
                lastError = error->message;
                g_error_free(error);
                // Not listening yet: look again a little later.
                test::runUntil([] { return false; }, 0.05);
            }
            return connection != nullptr;
        },
        deadlineSeconds);
    ASSERT_NE(connection, nullptr) << "no session bus at " << address << ": " << lastError;
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    bus_->connection = connection;
    bus_->subscription = g_dbus_connection_signal_subscribe(
        connection, nullptr, storeName, "Changed", storePath, storeTable, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char*,
           GVariant* parameters, gpointer data) {
            const char* entry = nullptr;
            g_variant_get_child(parameters, 1, "&s", &entry);
            if (g_strcmp0(entry, storeEntry) == 0) {
                ++static_cast<Bus*>(data)->changes;
            }
        },
        bus_.get(), nullptr);
}

void Client::stopHelpers() {
    // Last started, first stopped: the bus goes after everything that may use it.
    for (auto helper = helpers_.rbegin(); helper != helpers_.rend(); ++helper) {
        if (!(*helper)->exited) {
            g_subprocess_send_signal((*helper)->subprocess, SIGTERM);
            test::runUntil([&] { return (*helper)->exited; }, deadlineSeconds);
        }
        if (!(*helper)->exited) {
            g_subprocess_force_exit((*helper)->subprocess);
            test::runUntil([&] { return (*helper)->exited; }, deadlineSeconds);
        }
    }
    helpers_.clear();
}

void Client::unmountDocumentPortal() {
    // The document portal mounts itself in the runtime folder and may outlive the bus that
    // started it; a lazy unmount lets the folder go in any case.
    const std::string doc = (runtimeDir() / "doc").string();
    const ToolResult mounted = run({"mountpoint", "-q", doc});
    if (!mounted.finished || mounted.exitStatus != 0) {
        return;
    }
    const ToolResult unmounted = run({"fusermount3", "-u", "-z", doc});
    if (!unmounted.finished || unmounted.exitStatus != 0) {
        run({"fusermount", "-u", "-z", doc});
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
    bus_.reset();
    stopHelpers();
    if (HasFailure()) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(root_, error)) {
            if (entry.path().extension() == ".log") {
                std::cerr << entry.path().filename().string() << " (end):\n"
                          << tail(entry.path(), 2000) << "\n";
            }
        }
    }
    unmountDocumentPortal();
    server_.reset();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void Client::launch() {
    ASSERT_TRUE(setMicrophoneDecision(MicrophoneDecision::granted));
    start();
    ASSERT_FALSE(HasFatalFailure());
    // "Continue to Pelunna Labs" is the screen's default.
    ASSERT_TRUE(pressKeys(windowId(), {"Return"}));
    ASSERT_TRUE(waitForLine(webViewAppearedLine));
}

void Client::start() {
    ASSERT_TRUE(!process_ || process_->exited) << "one client at a time";
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_PIPE);
    setEnvironment(launcher);
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

void Client::killProcessTree() {
    if (!process_ || process_->exited) {
        return;
    }
    // Parent of every process, from /proc/PID/stat: "PID (NAME) STATE PPID ...", NAME may hold
    // spaces and parentheses, so the fields are read after its last ")".
    std::multimap<int, int> children;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto close = text.rfind(')');
        int parent = 0;
        char state = 0;
        if (close != std::string::npos &&
            std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) == 2) {
            children.emplace(parent, std::atoi(name.c_str()));
        }
    }
    std::vector<int> tree = {std::atoi(g_subprocess_get_identifier(process_->subprocess))};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const auto [first, last] = children.equal_range(tree[i]);
        for (auto child = first; child != last; ++child) {
            tree.push_back(child->second);
        }
    }
    for (const int pid : tree) {
        kill(pid, SIGKILL);
    }
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

::testing::AssertionResult Client::setMicrophoneDecision(MicrophoneDecision decision) {
    if (!bus_ || bus_->connection == nullptr) {
        return ::testing::AssertionFailure() << "no session bus";
    }
    const int changesBefore = bus_->changes;
    std::unique_ptr<Reply> reply;
    if (decision == MicrophoneDecision::undecided) {
        reply = call(bus_->connection, storeName, storePath, storeName, "DeletePermission",
                     g_variant_new("(sss)", storeTable, storeEntry, applicationId));
        // Nothing stored is what was asked for, and the store announces nothing.
        if (isNotFound(*reply)) {
            return ::testing::AssertionSuccess();
        }
    } else {
        const char* answer[] = {decision == MicrophoneDecision::granted ? "yes" : "no", nullptr};
        reply =
            call(bus_->connection, storeName, storePath, storeName, "SetPermission",
                 g_variant_new("(sbss^as)", storeTable, TRUE, storeEntry, applicationId, answer));
    }
    if (!reply->ok()) {
        return ::testing::AssertionFailure()
               << "the permission store refused " << decision << ": " << reply->describe();
    }
    if (!process_ || process_->exited) {
        return ::testing::AssertionSuccess();
    }
    // The client learns of the change from the store's signal. The bus hands the client a call
    // sent after the signal in that order, and the client answers it on its main loop after
    // handling the signal: the answer means the client knows.
    if (!test::runUntil([&] { return bus_->changes > changesBefore; }, deadlineSeconds)) {
        return ::testing::AssertionFailure() << "the store announced no change of " << decision;
    }
    const auto barrier =
        call(bus_->connection, applicationId, applicationPath, "org.gtk.Actions", "List", nullptr);
    if (!barrier->ok()) {
        return ::testing::AssertionFailure()
               << "the client did not answer on the bus: " << barrier->describe();
    }
    return ::testing::AssertionSuccess();
}

MicrophoneDecision Client::storedMicrophoneDecision() {
    if (!bus_ || bus_->connection == nullptr) {
        ADD_FAILURE() << "no session bus";
        return MicrophoneDecision::undecided;
    }
    const auto reply = call(bus_->connection, storeName, storePath, storeName, "Lookup",
                            g_variant_new("(ss)", storeTable, storeEntry));
    if (isNotFound(*reply)) {
        return MicrophoneDecision::undecided;
    }
    if (!reply->ok()) {
        ADD_FAILURE() << "cannot read the permission store: " << reply->describe();
        return MicrophoneDecision::undecided;
    }
    GVariant* permissions = g_variant_get_child_value(reply->value, 0);
    const char** answers = nullptr;
    std::string answer;
    if (g_variant_lookup(permissions, applicationId, "^a&s", &answers)) {
        answer = answers[0] != nullptr ? answers[0] : "";
        g_free(answers);
    }
    g_variant_unref(permissions);
    if (answer.empty()) {
        return MicrophoneDecision::undecided;
    }
    if (answer != "yes" && answer != "no") {
        ADD_FAILURE() << "the store holds \"" << answer << "\" for the microphone";
    }
    return answer == "yes" ? MicrophoneDecision::granted : MicrophoneDecision::refused;
}

std::vector<std::string> Client::visibleWindows() {
    const ToolResult result =
        run({"xdotool", "search", "--onlyvisible", "--class", "^pelunna-labs$"});
    std::vector<std::string> windows;
    std::istringstream ids(result.out);
    for (std::string id; ids >> id;) {
        windows.push_back(id);
    }
    return windows;
}

::testing::AssertionResult Client::waitForWindowCount(std::size_t count) {
    std::vector<std::string> windows;
    const bool reached = test::runUntil(
        [&] {
            windows = visibleWindows();
            if (windows.size() == count) {
                return true;
            }
            // Keeps the main context serving the client between two looks.
            test::runUntil([] { return false; }, 0.1);
            return false;
        },
        deadlineSeconds);
    if (reached) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "the client shows " << windows.size() << " windows, not " << count << ", after "
           << deadlineSeconds << " s";
}

std::optional<Screenshot> Client::screenshot() {
    const fs::path file = root_ / "screen.ppm";
    const ToolResult result = run({"import", "-window", "root", "-depth", "8", file.string()});
    if (!result.finished || result.exitStatus != 0) {
        ADD_FAILURE() << "import failed: " << result.err;
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int maximum = 0;
    Screenshot shot;
    in >> magic >> shot.width >> shot.height >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255 || shot.width <= 0 || shot.height <= 0) {
        ADD_FAILURE() << "not an 8-bit PPM: " << file;
        return std::nullopt;
    }
    shot.rgb.resize(static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height) *
                    3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()),
            static_cast<std::streamsize>(shot.rgb.size()));
    if (!in) {
        ADD_FAILURE() << "short PPM: " << file;
        return std::nullopt;
    }
    return shot;
}

::testing::AssertionResult Client::click(int x, int y) {
    const ToolResult result =
        run({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    if (result.finished && result.exitStatus == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "xdotool failed (" << result.exitStatus << "): " << result.err;
}

int Screenshot::count(Colour colour) const {
    int found = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        found += rgb[i] == colour.red && rgb[i + 1] == colour.green && rgb[i + 2] == colour.blue;
    }
    return found;
}

std::optional<Geometry> Screenshot::bounds(Colour colour) const {
    int left = width;
    int top = height;
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                   static_cast<std::size_t>(x)) *
                                  3;
            if (rgb[i] == colour.red && rgb[i + 1] == colour.green && rgb[i + 2] == colour.blue) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return std::nullopt;
    }
    return Geometry{left, top, right - left + 1, bottom - top + 1};
}

std::ostream& operator<<(std::ostream& out, MicrophoneDecision decision) {
    switch (decision) {
        case MicrophoneDecision::undecided:
            return out << "undecided";
        case MicrophoneDecision::granted:
            return out << "granted";
        case MicrophoneDecision::refused:
            return out << "refused";
    }
    return out << "decision " << static_cast<int>(decision);
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
