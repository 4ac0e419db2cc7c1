#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace pelunna::test {

// What a file-reading table makes at the path its reader is given.
enum Kind { none, file, directory, fifo };

// The folder, made anew, with the kind made at `made` below it.
inline void makeAnew(const std::filesystem::path& folder, const std::filesystem::path& made,
                     Kind kind, const std::string& contents) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    if (kind == file) {
        std::ofstream(made) << contents;
    } else if (kind == directory) {
        std::filesystem::create_directory(made);
    } else if (kind == fifo) {
        EXPECT_EQ(mkfifo(made.c_str(), 0600), 0);
    }
}

inline ssize_t failingRead(int /*fd*/, void* /*buffer*/, std::size_t /*size*/) {
    errno = EIO;
    return -1;
}

}  // namespace pelunna::test
