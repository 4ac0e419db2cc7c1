#include "Fakes.hpp"
#include "MadeFile.hpp"
#include "app/LabSettings.hpp"
#include "platform/glib/LabSettingsFile.hpp"

namespace pelunna::test {
namespace {

namespace fs = std::filesystem;

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
