// The files an administrator writes, read as the client reads them: whatever stands at their path.
#include <sys/stat.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "Fakes.hpp"
#include "app/LabSettings.hpp"
#include "microphone/PolicyFile.hpp"
#include "platform/glib/LabSettingsFile.hpp"

namespace pelunna::test {
namespace {

namespace fs = std::filesystem;

// What a file-reading table makes at the path its reader is given.
enum Kind { none, file, directory, fifo };

// The folder, made anew, with the kind made at `made` below it.
void makeAnew(const fs::path& folder, const fs::path& made, Kind kind,
              const std::string& contents) {
    fs::remove_all(folder);
    fs::create_directory(folder);
    if (kind == file) {
        std::ofstream(made) << contents;
    } else if (kind == directory) {
        fs::create_directory(made);
    } else if (kind == fifo) {
        EXPECT_EQ(mkfifo(made.c_str(), 0600), 0);
    }
}

ssize_t failingRead(int /*fd*/, void* /*buffer*/, std::size_t /*size*/) {
    errno = EIO;
    return -1;
}

// Only a missing file sets no policy; one that is there but cannot be read restricts, said once.
TEST(PolicyFile, OnlyAMissingFileSetsNoPolicyAndAnUnreadableOneRestricts) {
    // What is made at "policy", its contents, the path asked for below the folder, how it is read;
    // whether it restricts, and whether it is reported unreadable.
    const std::tuple<Kind, std::string, const char*, microphone::PolicyFile::Read, bool, bool>
        rows[] = {
            {none, "", "policy", ::read, false, false},
            {file, "", "policy/policy", ::read, false, false},
            {file, "restricted\n", "policy", ::read, true, false},
            {file, "other", "policy", ::read, false, false},
            {directory, "", "policy", ::read, true, true},
            {fifo, "", "policy", ::read, true, true},
            {file, "other", "policy", failingRead, true, true},
            {file, std::string(4096, ' ') + "restricted", "policy", ::read, false, false},
        };
    const fs::path folder = fs::temp_directory_path() / ("policy-" + std::to_string(getpid()));
    for (const auto& [kind, contents, queried, read, restricts, reported] : rows) {
        SCOPED_TRACE(testing::Message() << kind << " " << queried << " " << restricts);
        makeAnew(folder, folder / "policy", kind, contents);
        RecordingLog log;
        const microphone::PolicyFile policy((folder / queried).string(), log, read);
        EXPECT_EQ(policy.restricts(), restricts);
        EXPECT_EQ(policy.restricts(), restricts);
        EXPECT_EQ(log.lines.size(), reported ? 1u : 0u);
    }
    fs::remove_all(folder);
}

// A file the administrator wrote but that cannot be used still resets the seat, and says so once.
TEST(LabSettings, OnlyAMissingFileOrZeroMeansNoResetAndAnUnusableOneResetsAfter15) {
    const std::string lab = "[Lab]\nIdleResetMinutes=";
    // What is made at the path, its contents, how it is read; the minutes, and whether the file is
    // reported unusable.
    const std::tuple<Kind, std::string, platform::ReadBytes, std::optional<int>, bool> rows[] = {
        {none, "", ::read, std::nullopt, false},
        {file, "", ::read, std::nullopt, false},
        {file, lab + "15\n", ::read, 15, false},
        {file, lab + "240", ::read, 240, false},
        {file, lab + "0\n", ::read, std::nullopt, false},
        {file, "[Other]\nIdleResetMinutes=15\n", ::read, std::nullopt, false},
        {file, lab + "999\n", ::read, 15, true},
        {file, lab + "-1\n", ::read, 15, true},
        {file, lab + "soon\n", ::read, 15, true},
        {file, "not a key file\n", ::read, 15, true},
        {file, lab + "30\n#" + std::string(64 * 1024, ' '), ::read, 15, true},
        {file, lab + "30\n", failingRead, 15, true},
        {directory, "", ::read, 15, true},
        {fifo, "", ::read, 15, true},
    };
    const fs::path folder = fs::temp_directory_path() / ("lab-" + std::to_string(getpid()));
    const std::string path = (folder / "lab.conf").string();
    for (const auto& [kind, contents, read, minutes, reported] : rows) {
        SCOPED_TRACE(testing::Message() << kind << " " << contents.substr(0, 40));
        makeAnew(folder, path, kind, contents);
        RecordingLog log;
        EXPECT_EQ(app::decideLabSettings(platform::readLabSettingsFile(path, read), path, log)
                      .idleResetMinutes,
                  minutes);
        std::vector<std::string> lines;
        if (reported) {
            lines.push_back("❌ Lab settings unreadable, starting over after 15 idle minutes: " +
                            path);
        }
        if (minutes) {
            lines.push_back("⏱️ Idle reset after " + std::to_string(*minutes) + " minutes");
        }
        EXPECT_EQ(log.lines, lines);
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace pelunna::test
