#include <gtest/gtest.h>

#include <QSettings>
#include <QStringList>
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

// The desktop program reads and writes the same file with QSettings: values with commas,
// quotes and non-ASCII text, and lists, must mean the same on both sides.
TEST(Settings, ValuesAndListsRoundTripWithQSettingsBothWays) {
    auto path = tempFile("both-ways");
    const QString file = QString::fromStdString(path.string());
    const std::vector<std::string> texts{"Müller, Bau", "say \"hi\"", "a;b",
                                         " padded ",    "@at",        "back\\slash"};
    {
        QSettings qt(file, QSettings::IniFormat);
        for (size_t i = 0; i < texts.size(); ++i)
            qt.setValue(QString("Qt/v%1").arg(i), QString::fromStdString(texts[i]));
        qt.setValue("Qt/list", QStringList{"all", "2024, July", "2024-7"});
    }
    platform::Settings settings(path);
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(settings.value("Qt/v" + std::to_string(i)), texts[i]);
    EXPECT_EQ(settings.stringListValue("Qt/list"),
              (std::vector<std::string>{"all", "2024, July", "2024-7"}));

    for (size_t i = 0; i < texts.size(); ++i)
        ASSERT_TRUE(settings.setValue("Ours/v" + std::to_string(i), texts[i]));
    ASSERT_TRUE(settings.setStringListValue("Ours/list", {"all", "2024, July"}));
    ASSERT_TRUE(settings.setStringListValue("Ours/empty", {}));
    QSettings qt(file, QSettings::IniFormat);
    for (size_t i = 0; i < texts.size(); ++i) {
        QVariant value = qt.value(QString("Ours/v%1").arg(i));
        EXPECT_EQ(value.typeId(), QMetaType::QString) << texts[i];
        EXPECT_EQ(value.toString().toStdString(), texts[i]);
    }
    EXPECT_EQ(qt.value("Ours/list").toStringList(), (QStringList{"all", "2024, July"}));
    EXPECT_TRUE(qt.value("Ours/empty").toStringList().isEmpty());
    EXPECT_EQ(settings.stringListValue("Ours/empty"), std::vector<std::string>{});
}
