#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/FileData.h"
#include "platform/Uuid.h"

namespace fs = std::filesystem;
using platform::FileDataError;

namespace {

class ReadFileData : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("ll-filedata-" + platform::newUUID());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
        return folder_ / name;
    }
    fs::path folder_;
};

struct Refused {
    const char* what;
    std::function<fs::path(const fs::path& folder)> make;
    std::uintmax_t limit;
    FileDataError code;
    const char* reason;
};

}  // namespace

TEST_F(ReadFileData, ReadsARegularFileUpToItsLimit) {
    auto file = write("ten", "0123456789");
    EXPECT_EQ(platform::readFileData(file, nullptr, 10), "0123456789");
    EXPECT_EQ(platform::readFileData(write("empty", ""), nullptr, 10), "");
    // A link to a regular file is read as that file.
    fs::create_symlink(file, folder_ / "link");
    EXPECT_EQ(platform::readFileData(folder_ / "link", nullptr, 10), "0123456789");
}

TEST_F(ReadFileData, RefusesWhatIsNoRegularFileOrTooLargeWithItsCause) {
    const std::vector<Refused> cases = {
        {"missing", [](const fs::path& d) { return d / "missing"; }, 100, FileDataError::NoSuchFile,
         "no such file"},
        {"dangling link",
         [](const fs::path& d) {
             fs::create_symlink(d / "gone", d / "dangling");
             return d / "dangling";
         },
         100, FileDataError::NoSuchFile, "no such file"},
        {"below a file", [](const fs::path&) { return fs::path("/etc/hostname/x"); }, 100,
         FileDataError::NoSuchFile, "no such file"},
        {"folder", [](const fs::path& d) { return d; }, 100, FileDataError::IsFolder,
         "is a folder, not a file"},
        // Never ends: must be refused before a byte is read.
        {"device", [](const fs::path&) { return fs::path("/dev/zero"); }, 100,
         FileDataError::NotRegularFile, "not a regular file"},
        // Without a writer opening would block: must be refused without waiting.
        {"FIFO",
         [](const fs::path& d) {
             ::mkfifo((d / "fifo").c_str(), 0600);
             return d / "fifo";
         },
         100, FileDataError::NotRegularFile, "not a regular file"},
        {"one byte over",
         [](const fs::path& d) {
             std::ofstream(d / "eleven") << "01234567890";
             return d / "eleven";
         },
         10, FileDataError::TooLarge, "larger than 10 bytes"},
        // Its size reads as 0, its text is longer: the limit holds while reading too.
        {"growing", [](const fs::path&) { return fs::path("/proc/self/status"); }, 16,
         FileDataError::TooLarge, "larger than 16 bytes"},
    };
    for (const auto& c : cases) {
        auto path = c.make(folder_);
        platform::Error error;
        EXPECT_FALSE(platform::readFileData(path, &error, c.limit)) << c.what;
        EXPECT_EQ(error.domain, platform::kFileDataErrorDomain) << c.what;
        EXPECT_EQ(platform::fileDataError(error), c.code) << c.what;
        EXPECT_EQ(platform::fileDataReason(error), c.reason) << c.what;
        EXPECT_EQ(error.localizedDescription, path.string() + ": " + c.reason) << c.what;
    }
}

TEST_F(ReadFileData, AFileTheUserMayNotReadGivesTheSystemsReason) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    auto file = write("secret", "x");
    fs::permissions(file, fs::perms::none);
    platform::Error error;
    EXPECT_FALSE(platform::readFileData(file, &error));
    EXPECT_EQ(platform::fileDataError(error), FileDataError::Unreadable);
    EXPECT_EQ(platform::fileDataReason(error), "Permission denied");
}
