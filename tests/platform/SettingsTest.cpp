#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Settings.h"

namespace {
std::filesystem::path tempFile(const char* name) {
    auto dir = std::filesystem::temp_directory_path() / "ll-settings-test";
    std::filesystem::remove_all(dir / name);
    return dir / name / "Ledgerlens.conf";
}
}  // namespace

TEST(Settings, WritesReadsAndRemoves) {
    auto path = tempFile("roundtrip");
    platform::Settings settings(path);
    EXPECT_FALSE(settings.value("PagewrightDisableAll"));
    EXPECT_TRUE(settings.boolValue("PagewrightDisableAll", true));
    ASSERT_TRUE(settings.setValue("PagewrightDisableAll", "true"));
    ASSERT_TRUE(settings.setValue("Window/Geometry", "1 2 3 4"));
    // Another object on the same file sees the change: values are read on every use.
    platform::Settings other(path);
    EXPECT_TRUE(other.boolValue("PagewrightDisableAll"));
    EXPECT_EQ(other.value("Window/Geometry"), "1 2 3 4");
    ASSERT_TRUE(settings.setValue("PagewrightDisableAll", "false"));
    EXPECT_FALSE(other.boolValue("PagewrightDisableAll", true));
    ASSERT_TRUE(settings.remove("PagewrightDisableAll"));
    EXPECT_FALSE(other.value("PagewrightDisableAll"));
    EXPECT_EQ(other.value("Window/Geometry"), "1 2 3 4");
}

TEST(Settings, ReadsTheDesktopProgramsFormat) {
    auto path = tempFile("qsettings");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "[General]\nPagewrightDisableConvert=true\nSourceViewState=abc\n";
    platform::Settings settings(path);
    EXPECT_TRUE(settings.boolValue("PagewrightDisableConvert"));
    EXPECT_EQ(settings.value("SourceViewState"), "abc");
    EXPECT_FALSE(settings.boolValue("Missing"));
}

TEST(Settings, AGarbledFileCountsAsEmptyAndIsReplacedOnWrite) {
    auto path = tempFile("garbled");
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "[General\n=x\n\x01\x02";
    platform::Settings settings(path);
    EXPECT_FALSE(settings.value("Anything"));
    EXPECT_TRUE(settings.setValue("Key", "v"));
    EXPECT_EQ(settings.value("Key"), "v");
}

TEST(Settings, DefaultPathFollowsXdg) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    std::string keep = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/some/config", 1);
    EXPECT_EQ(platform::Settings::defaultPath(), "/some/config/Ledgerlens/Ledgerlens.conf");
    if (saved)
        ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
