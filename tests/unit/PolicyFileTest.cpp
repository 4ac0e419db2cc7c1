#include "microphone/PolicyFile.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Fakes.hpp"

namespace pelunna::test {
namespace {

namespace fs = std::filesystem;

ssize_t failingRead(int, void*, std::size_t) {
    errno = EIO;
    return -1;
}

TEST(PolicyFile, OnlyAMissingFileSetsNoPolicyAndAnUnreadableOneRestricts) {
    enum class Kind { none, file, directory, fifo };
    struct Case {
        const char* name;
        std::string contents;
        Kind kind;
        bool restricts;
        bool reported;
        microphone::PolicyFile::Read read = ::read;
        const char* queried = "policy";
    };
    const Case cases[] = {
        {"missing", "", Kind::none, false, false},
        {"folder is a file", "", Kind::file, false, false, ::read, "policy/policy"},
        {"restricted", "restricted\n", Kind::file, true, false},
        {"other word", "other", Kind::file, false, false},
        {"directory", "", Kind::directory, true, true},
        {"fifo", "", Kind::fifo, true, true},
        {"read error", "other", Kind::file, true, true, failingRead},
        {"past 4 KiB", std::string(4096, ' ') + "restricted", Kind::file, false, false},
    };
    const fs::path folder = fs::temp_directory_path() / ("policy-" + std::to_string(getpid()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        fs::create_directory(folder);
        const fs::path made = folder / "policy";
        if (c.kind == Kind::file) {
            std::ofstream(made) << c.contents;
        } else if (c.kind == Kind::directory) {
            fs::create_directory(made);
        } else if (c.kind == Kind::fifo) {
            ASSERT_EQ(mkfifo(made.c_str(), 0600), 0);
        }
        const std::string path = (folder / c.queried).string();
        RecordingLog log;
        const microphone::PolicyFile policy(path, log, c.read);

        EXPECT_EQ(policy.restricts(), c.restricts);
        EXPECT_EQ(policy.restricts(), c.restricts);
        const std::vector<std::string> reported{
            "❌ Microphone policy unreadable, treating as restricted: " + path};
        EXPECT_EQ(log.lines, c.reported ? reported : std::vector<std::string>{});
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace pelunna::test
