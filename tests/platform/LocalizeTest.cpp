#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Resources.h"
#include "platform/SFLocalizeHelper.h"

using platform::SFLocalizeHelper;

namespace {

// A small resource folder of our own, so the cases do not depend on the shipped texts.
class LocalizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ll-l10n-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_ / "l10n");
        write("l10n/en.json", R"({"Export": "Export", "Total": "Total", "VAT": "VAT",
                                  "Only English": "Only English text", "Buyer": "Buyer",
                                  "Due Date": "Due Date", "Invoice.Seller": "Invoice.Seller"})");
        write("l10n/de.json", R"({"Export": "Exportieren", "Total": "Summe", "VAT": "USt.",
                                  "Buyer": "Käufer", "Due Date": "Fällig am"})");
        write("l10n/fr.json", R"({"Export": "Exporter", "Total": "Total", "VAT": "TVA"})");
        write("LocalizeSubstitutes.json", R"({"Customer": "Buyer"})");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
    }
    std::filesystem::path dir_;
};

const std::string kEllipsis = "\xE2\x80\xA6";

}  // namespace

TEST_F(LocalizeTest, EllipsisAndColonSpacingPerLanguage) {
    SFLocalizeHelper de(dir_, "de"), en(dir_, "en"), fr(dir_, "fr");
    EXPECT_EQ(platform::localizedString("Export" + kEllipsis, de), "Exportieren " + kEllipsis);
    EXPECT_EQ(platform::localizedString("Export" + kEllipsis, en), "Export" + kEllipsis);
    EXPECT_EQ(platform::localizedString("Export" + kEllipsis, fr), "Exporter" + kEllipsis);
    EXPECT_EQ(platform::localizedString("Total:", fr), "Total :");
    EXPECT_EQ(platform::localizedString("Total:", de), "Summe:");
    // Already spaced before the colon: no second blank.
    EXPECT_EQ(platform::localizedString("Total :", fr), "Total :");
    EXPECT_EQ(platform::localizedString("", fr), "");
    EXPECT_EQ(platform::localizedString(":", fr), " :");
}

TEST_F(LocalizeTest, FallsBackToEnglishAndToTheKey) {
    SFLocalizeHelper de(dir_, "de");
    EXPECT_EQ(de.localizedString("VAT"), "USt.");
    EXPECT_EQ(de.localizedString("Only English"), "Only English text");
    EXPECT_EQ(de.localizedString("Nowhere"), "Nowhere");
    // A language without a table falls back to English as a whole.
    SFLocalizeHelper it(dir_, "it_IT.UTF-8");
    EXPECT_EQ(it.currentLanguage(), "en");
    EXPECT_EQ(it.localizedString("VAT"), "VAT");
}

TEST_F(LocalizeTest, SubstitutesAreTranslatedUnderTheirTarget) {
    SFLocalizeHelper de(dir_, "de");
    EXPECT_EQ(de.substitute("Customer"), "Buyer");
    EXPECT_EQ(de.substitute("Seller"), "Seller");
    EXPECT_EQ(de.localizedString("Customer"), "Käufer");
}

TEST_F(LocalizeTest, KeyPathsTranslateWholeOrByComponent) {
    SFLocalizeHelper de(dir_, "de");
    EXPECT_EQ(platform::localizedKeyPath("Buyer.Due Date", de), "Käufer.Fällig am");
    EXPECT_EQ(platform::localizedKeyPath("Buyer.unknown", de), "Käufer.unknown");
    SFLocalizeHelper en(dir_, "en");
    EXPECT_EQ(platform::localizedKeyPath("Invoice.Seller", en), "Invoice.Seller");
}

TEST_F(LocalizeTest, LanguageFollowsTheEnvironment) {
    const char* saved[] = {std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                           std::getenv("LC_MESSAGES"), std::getenv("LANG")};
    std::string keep[4];
    for (int i = 0; i < 4; ++i) keep[i] = saved[i] ? saved[i] : "";
    ::unsetenv("LANGUAGE");
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "fr_FR.UTF-8", 1);
    EXPECT_EQ(SFLocalizeHelper(dir_).currentLanguage(), "fr");
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(SFLocalizeHelper(dir_).currentLanguage(), "de");
    // LANGUAGE lists preferences; the first one with a table wins.
    ::setenv("LANGUAGE", "pt_BR:fr:de", 1);
    EXPECT_EQ(SFLocalizeHelper(dir_).currentLanguage(), "fr");
    ::setenv("LANGUAGE", "", 1);
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(SFLocalizeHelper(dir_).currentLanguage(), "en");
    const char* names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    for (int i = 0; i < 4; ++i) {
        if (saved[i])
            ::setenv(names[i], keep[i].c_str(), 1);
        else
            ::unsetenv(names[i]);
    }
}

TEST(StringForFileName, ReplacesUnsafeCharactersAndTrims) {
    EXPECT_EQ(platform::stringForFileName("  a/b:c*d \n"), "a_b_c_d");
    EXPECT_EQ(platform::stringForFileName("\\?%|<>"), "______");
    EXPECT_EQ(platform::stringForFileName("../../x"), ".._.._x");
    EXPECT_EQ(platform::stringForFileName("\xC2\xA0Müller GmbH\xE2\x80\xA8"), "Müller GmbH");
    EXPECT_EQ(platform::stringForFileName("   "), "");
}

TEST(ShippedStrings, EveryLanguageTranslatesTheTaxCodes) {
    std::filesystem::path resources = LEDGERLENS_SOURCE_RESOURCES;
    for (const char* lang : {"en", "de", "fr", "it", "es"}) {
        SFLocalizeHelper helper(resources, lang);
        EXPECT_EQ(helper.currentLanguage(), lang);
        EXPECT_FALSE(helper.localizedString("VAT").empty());
        if (std::string(lang) != "en") {
            EXPECT_NE(helper.localizedString("VAT"), "VAT") << lang;
            EXPECT_NE(helper.localizedString("Invoice"), "Invoice") << lang;
        }
    }
}

TEST(Resources, FindsFilesRecursivelyBelowTheResourceFolder) {
    auto dir = std::filesystem::temp_directory_path() / "ll-resources-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "l10n");
    std::filesystem::create_directories(dir / "rules" / "a" / "b");
    std::ofstream(dir / "l10n" / "en.json") << "{}";
    std::ofstream(dir / "rules" / "a" / "b" / "x.sch") << "<schema/>";
    std::ofstream(dir / "rules" / "a" / "y.sch") << "<schema/>";
    const char* saved = std::getenv("LEDGERLENS_RESOURCES");
    std::string keep = saved ? saved : "";
    ::setenv("LEDGERLENS_RESOURCES", dir.c_str(), 1);
    EXPECT_EQ(platform::pathForResource("x", "sch", "rules"), dir / "rules" / "a" / "b" / "x.sch");
    EXPECT_EQ(platform::pathForResource("en.json", "", ""), dir / "l10n" / "en.json");
    EXPECT_FALSE(platform::pathForResource("z", "sch", "rules"));
    EXPECT_EQ(platform::pathsForResources("sch", "rules").size(), 2u);
    EXPECT_TRUE(platform::pathsForResources("sch", "missing").empty());
    if (saved) ::setenv("LEDGERLENS_RESOURCES", keep.c_str(), 1);
    else ::unsetenv("LEDGERLENS_RESOURCES");
    std::filesystem::remove_all(dir);
}
