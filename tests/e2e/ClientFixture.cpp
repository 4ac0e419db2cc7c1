#include "ClientFixture.hpp"

#include <fcntl.h>
#include <glib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>

namespace pelunna::e2e {
namespace fs = std::filesystem;
namespace {

constexpr char storeCall[] =
    "gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore --object-path "
    "/org/freedesktop/impl/portal/PermissionStore --method "
    "org.freedesktop.impl.portal.PermissionStore.";

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// SIGTERM, and SIGKILL after 10 s; returns the wait status.
int end(pid_t pid) {
    int status = 0;
    kill(pid, SIGTERM);
    if (!test::runUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    return status;
}

}  // namespace

void Client::SetUp() {
    char* dir = g_dir_make_tmp("pelunna-e2e-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    g_free(dir);
    fs::remove(policy());
    fs::remove(labSettings());
    for (const char* folder : {"home", "config", "bin", "runtime"}) {
        fs::create_directory(root_ / folder);
    }
    // Libraries may refuse a runtime folder that others can enter.
    fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    startServer();
    // The permission store and the portals this bus starts keep their state in the test's folders
    // and end with it. It prints its address once it listens.
    spawnHelper({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address",
                 "--address=unix:path=" + (root_ / "runtime/bus").string()});
    ASSERT_TRUE(waitFor([&] { return !slurp(root_ / "dbus-daemon").empty(); }, "session bus"));
}

void Client::TearDown() {
    if (client_ != 0 && !exitedByNow()) {
        waitStatus_ = end(client_);
    }
    // Last started, first ended: the bus after everything that may use it.
    for (auto helper = helpers_.rbegin(); helper != helpers_.rend(); ++helper) {
        end(*helper);
    }
    if (HasFailure()) {
        std::cerr << "client output:\n" << slurp(root_ / "client.log");
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(root_, error)) {
            if (entry.path().extension() == ".err") {
                std::cerr << entry.path().filename() << ":\n" << slurp(entry.path()) << "\n";
            }
        }
    }
    server_.reset();
    fs::remove(policy());
    fs::remove(labSettings());
    // A document portal's mount may still hold its folder: scripts/headless unmounts it later.
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

char** Client::environment() const {
    const std::map<std::string, std::string> all = {
        {"HOME", root_ / "home"},
        {"XDG_DATA_HOME", root_ / "data"},
        {"XDG_CACHE_HOME", root_ / "cache"},
        {"XDG_CONFIG_HOME", root_ / "config"},
        {"XDG_RUNTIME_DIR", root_ / "runtime"},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (root_ / "runtime/bus").string()},
        {"PATH", bin().string() + ":" + g_getenv("PATH")}};
    char** env = g_get_environ();
    for (const auto& [name, value] : all) {
        env = g_environ_setenv(env, name.c_str(), value.c_str(), TRUE);
    }
    // The client chooses how to draw by itself, as on a lab computer.
    for (const char* name : {"GSK_RENDERER", "WEBKIT_DISABLE_COMPOSITING_MODE"}) {
        env = g_environ_unsetenv(env, name);
    }
    return env;
}

pid_t Client::spawn(const std::vector<std::string>& argv, const std::string& log) {
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    char** envp = environment();
    const int out = open((root_ / log).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err =
        open((root_ / (log + ".err")).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    GPid pid = 0;
    GError* error = nullptr;
    g_spawn_async_with_fds(
        root_.c_str(), args.data(), envp,
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH_FROM_ENVP | G_SPAWN_DO_NOT_REAP_CHILD),
        nullptr, nullptr, &pid, -1, out, err, &error);
    close(out);
    close(err);
    g_strfreev(envp);
    if (error != nullptr) {
        ADD_FAILURE() << "cannot start " << argv.front() << ": " << error->message;
        g_error_free(error);
    }
    return pid;
}

void Client::spawnHelper(const std::vector<std::string>& argv) {
    if (const pid_t pid = spawn(argv, fs::path(argv[0]).filename()); pid != 0) {
        helpers_.push_back(pid);
    }
}

void Client::start(const std::vector<std::string>& argv) {
    ASSERT_TRUE(client_ == 0 || exitedByNow()) << "one client at a time";
    waitStatus_.reset();
    main_.clear();
    client_ = spawn(argv, "client.log");
    ASSERT_NE(client_, 0);
}

void Client::setIdleReset(int minutes) {
    fs::create_directories(labSettings().parent_path());
    std::ofstream(labSettings()) << "[Lab]\nIdleResetMinutes=" << minutes << "\n";
}

void Client::launch() {
    ASSERT_TRUE(store("yes"));
    start();
    // "Continue to Pelunna Labs" is the screen's default.
    ASSERT_TRUE(press(window(), "Return"));
    ASSERT_TRUE(waitForLine(appearedLine));
}

::testing::AssertionResult Client::store(const std::string& answer) {
    return run(storeCall +
               std::string("SetPermission devices true microphone com.pelunnalabs.Labs ['") +
               answer + "']")
        .ok();
}

std::string Client::stored() {
    const std::string reply = run(storeCall + std::string("Lookup devices microphone")).out;
    for (const std::string answer : {"yes", "no"}) {
        if (reply.find("'com.pelunnalabs.Labs': ['" + answer + "']") != std::string::npos) {
            return answer;
        }
    }
    return reply;
}

std::vector<std::string> Client::lines() const {
    const std::string text = slurp(root_ / "client.log");
    std::vector<std::string> all;
    // A line still being written has no newline yet.
    for (std::size_t start = 0, end = 0; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        all.push_back(text.substr(start, end - start));
    }
    return all;
}

std::vector<std::size_t> Client::where(const std::string& line, bool prefix) const {
    const auto all = lines();
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (prefix ? all[i].starts_with(line) : all[i] == line) {
            found.push_back(i);
        }
    }
    return found;
}

::testing::AssertionResult Client::waitFor(const std::function<bool()>& condition,
                                           const std::string& what, double seconds) {
    return test::runUntil(condition, seconds)
               ? ::testing::AssertionSuccess()
               : ::testing::AssertionFailure() << "no " << what << " within " << seconds << " s";
}

::testing::AssertionResult Client::waitForLine(const std::string& line, int occurrence, bool prefix,
                                               double seconds) {
    // A client that has exited has said everything.
    test::runUntil([&] { return count(line, prefix) >= occurrence || exitedByNow(); }, seconds);
    return waitFor([&] { return count(line, prefix) >= occurrence; },
                   "line \"" + line + "\" " + std::to_string(occurrence) + " times", 0);
}

bool Client::exitedByNow() {
    int status = 0;
    if (client_ != 0 && !waitStatus_ && waitpid(client_, &status, WNOHANG) == client_) {
        waitStatus_ = status;
    }
    return waitStatus_.has_value();
}

int Client::waitForExit() {
    return waitFor([&] { return exitedByNow(); }, "exit of the client") && WIFEXITED(*waitStatus_)
               ? WEXITSTATUS(*waitStatus_)
               : -1;
}

std::vector<pid_t> Client::processes() {
    std::multimap<pid_t, pid_t> children;
    std::istringstream table(run("ps -e -o pid= -o ppid=").out);
    for (pid_t pid = 0, parent = 0; table >> pid >> parent;) {
        children.emplace(parent, pid);
    }
    // Without a client the walk must not start at the kernel and take in every process.
    std::vector<pid_t> tree(client_ > 0 ? 1U : 0U, client_);
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const auto [first, last] = children.equal_range(tree[i]);
        for (auto child = first; child != last; ++child) {
            tree.push_back(child->second);
        }
    }
    return tree;
}

Tool Client::run(const std::string& command) {
    std::istringstream words("timeout 10 " + command);
    const pid_t pid = spawn({std::istream_iterator<std::string>(words), {}}, "tool");
    int status = 0;
    waitpid(pid, &status, 0);
    return {pid != 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(root_ / "tool"),
            slurp(root_ / "tool.err")};
}

std::vector<std::string> Client::windows(const std::string& wmClass) {
    std::istringstream ids(run("xdotool search --onlyvisible --class " + wmClass).out);
    return {std::istream_iterator<std::string>(ids), std::istream_iterator<std::string>()};
}

std::string Client::window(const std::string& wmClass) {
    std::vector<std::string> found;
    EXPECT_TRUE(waitFor([&] { return !(found = windows(wmClass)).empty(); }, wmClass + " window"));
    // The client's first window is its main window, whatever opens over it later.
    if (wmClass == clientClass && main_.empty() && !found.empty()) {
        main_ = found.front();
    }
    return wmClass == clientClass ? main_ : found.empty() ? "" : found.front();
}

bool Client::noticeAt(int x, int y) {
    run("import -window root -depth 8 screen.ppm");
    const std::string point = std::to_string(x) + "," + std::to_string(y);
    return run("convert screen.ppm -format %[pixel:p{" + point + "}] info:").out ==
           "srgb(31,31,38)";
}

std::pair<int, int> Client::display() {
    std::istringstream size(run("xdotool getdisplaygeometry").out);
    std::pair<int, int> found;
    size >> found.first >> found.second;
    return found;
}

bool Client::fullScreen(const std::string& window) {
    return run("xprop -id " + window + " _NET_WM_STATE").out.find("FULLSCREEN") !=
           std::string::npos;
}

std::string Client::dialog() {
    std::vector<std::string> all;
    EXPECT_TRUE(waitFor([&] { return (all = windows()).size() == 2; }, "dialog"));
    return all.size() != 2 ? "" : all[0] == window() ? all[1] : all[0];
}

::testing::AssertionResult Client::press(const std::string& window, const std::string& keys) {
    return run("xdotool windowactivate --sync " + window + " key " + keys).ok();
}

}  // namespace pelunna::e2e
