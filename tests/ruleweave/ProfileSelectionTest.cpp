#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;
using namespace ruleweave;

namespace {

std::string ciiWithID(const std::string& id) {
    return R"(<rsm:CrossIndustryInvoice xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"
 xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100">
 <rsm:ExchangedDocumentContext><ram:GuidelineSpecifiedDocumentContextParameter><ram:ID>)" +
           id +
           R"(</ram:ID></ram:GuidelineSpecifiedDocumentContextParameter></rsm:ExchangedDocumentContext>
</rsm:CrossIndustryInvoice>)";
}

struct ProfileCase {
    std::string id;
    std::optional<std::string> profile;
    std::string match;                     // "" for none
    std::vector<std::string> schemaStems;  // file stems of the selected schemas, in path order
};

class ProfileSelection : public ::testing::TestWithParam<ProfileCase> {
  protected:
    static RWSchematronValidator& validator() {
        static RWSchematronValidator v = [] {
            RWSchematronValidator made;
            made.addSchemaDirectory(LEDGERLENS_RULES_DIR);
            made.addSchemaDirectory(LEDGERLENS_RULES_NEXT_DIR);
            return made;
        }();
        return v;
    }
};

TEST_P(ProfileSelection, OneRuleSetPerGuidelineID) {
    if (!fs::is_directory(fs::path(LEDGERLENS_RULES_NEXT_DIR) / "FacturX") ||
        !fs::is_directory(fs::path(LEDGERLENS_RULES_DIR) / "Schematron"))
        GTEST_SKIP() << "rules not found: " << LEDGERLENS_RULES_DIR << ", "
                     << LEDGERLENS_RULES_NEXT_DIR;
    const ProfileCase& c = GetParam();
    std::string xml =
        c.id.rfind("urn:ferd:", 0) == 0
            ? R"(<rsm:CrossIndustryDocument xmlns:rsm="urn:ferd:CrossIndustryDocument:invoice:1p0"
 xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:12">
 <rsm:SpecifiedExchangedDocumentContext><ram:GuidelineSpecifiedDocumentContextParameter><ram:ID>)" +
                  c.id +
                  "</ram:ID></ram:GuidelineSpecifiedDocumentContextParameter>"
                  "</rsm:SpecifiedExchangedDocumentContext></rsm:CrossIndustryDocument>"
            : ciiWithID(c.id);
    auto selection = validator().selectSchemasForXML(xml);
    ASSERT_TRUE(selection);
    EXPECT_EQ(selection->profile, c.profile);
    EXPECT_EQ(selection->profileMatch.value_or(""), c.match);
    std::vector<std::string> stems;
    for (const auto& p : selection->paths) stems.push_back(fs::path(p).stem().string());
    EXPECT_EQ(stems, c.schemaStems);
}

void PrintTo(const ProfileCase& c, std::ostream* os) { *os << c.id; }

// Test names from the guideline ID (letters and digits only).
std::string caseName(const ::testing::TestParamInfo<ProfileCase>& info) {
    std::string name = std::to_string(info.index) + "_";
    for (char c : info.param.id)
        if (std::isalnum(static_cast<unsigned char>(c))) name.push_back(c);
    return name;
}

const std::vector<std::string> kCEN = {"CrossIndustryInvoice_100pD16B", "EN16931-CII-validation"};

INSTANTIATE_TEST_SUITE_P(
    ReadmeTable, ProfileSelection,
    ::testing::Values(ProfileCase{"urn:factur-x.eu:1p0:minimum",
                                  "MINIMUM",
                                  "exact",
                                  {"FACTUR-X_MINIMUM", "FACTUR-X_MINIMUM"}},
                      ProfileCase{"urn:zugferd.de:2p0:minimum",
                                  "MINIMUM",
                                  "exact",
                                  {"FACTUR-X_MINIMUM", "FACTUR-X_MINIMUM"}},
                      ProfileCase{"urn:factur-x.eu:1p0:basicwl",
                                  "BASIC-WL",
                                  "exact",
                                  {"FACTUR-X_BASIC-WL", "FACTUR-X_BASICWL"}},
                      ProfileCase{"urn:zugferd.de:2p0:basicwl",
                                  "BASIC-WL",
                                  "exact",
                                  {"FACTUR-X_BASIC-WL", "FACTUR-X_BASICWL"}},
                      ProfileCase{"urn:cen.eu:en16931:2017#compliant#urn:factur-x.eu:1p0:basic",
                                  "BASIC",
                                  "exact",
                                  {"FACTUR-X_BASIC", "FACTUR-X_BASIC"}},
                      ProfileCase{"urn:cen.eu:en16931:2017#compliant#urn:zugferd.de:2p0:basic",
                                  "BASIC",
                                  "exact",
                                  {"FACTUR-X_BASIC", "FACTUR-X_BASIC"}},
                      ProfileCase{"urn:cen.eu:en16931:2017#conformant#urn:factur-x.eu:1p0:extended",
                                  "EXTENDED",
                                  "exact",
                                  {"FACTUR-X_EXTENDED", "FACTUR-X_EXTENDED"}},
                      ProfileCase{"urn:cen.eu:en16931:2017#conformant#urn:zugferd.de:2p0:extended",
                                  "EXTENDED",
                                  "exact",
                                  {"FACTUR-X_EXTENDED", "FACTUR-X_EXTENDED"}},
                      // The plain EN 16931 ID and XRechnung keep the CEN rules (plus XRechnung's).
                      ProfileCase{"urn:cen.eu:en16931:2017", std::nullopt, "", kCEN},
                      ProfileCase{
                          "urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0",
                          std::nullopt,
                          "",
                          {"CrossIndustryInvoice_100pD16B", "EN16931-CII-validation",
                           "XRechnung-CII-validation"}},
                      ProfileCase{"urn:xoev-de:kosit:standard:xrechnung_1.2",
                                  std::nullopt,
                                  "",
                                  {"CrossIndustryInvoice_100pD16B", "EN16931-CII-validation",
                                   "XRechnung-CII-validation"}},
                      ProfileCase{"urn:ferd:CrossIndustryDocument:invoice:1p0:comfort",
                                  "ZUGFeRD1",
                                  "exact",
                                  {"ZUGFeRD1p0", "ZUGFeRD_1p0"}},
                      ProfileCase{"urn:ferd:CrossIndustryDocument:invoice:1p0:komfort",
                                  "ZUGFeRD1",
                                  "namespace",
                                  {"ZUGFeRD1p0", "ZUGFeRD_1p0"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    LegacyFallback, ProfileSelection,
    ::testing::Values(ProfileCase{"urn:cen.eu:en16931:2017:compliant:factur-x.eu:1p0:basic",
                                  "BASIC",
                                  "legacy",
                                  {"FACTUR-X_BASIC", "FACTUR-X_BASIC"}},
                      ProfileCase{"urn:cen.eu:en16931:2017:compliant:factur-x.eu:1p0:extended",
                                  "EXTENDED",
                                  "legacy",
                                  {"FACTUR-X_EXTENDED", "FACTUR-X_EXTENDED"}},
                      ProfileCase{"urn:zugferd.de:2p1:minimum",
                                  "MINIMUM",
                                  "legacy",
                                  {"FACTUR-X_MINIMUM", "FACTUR-X_MINIMUM"}},
                      // "basicwl" before "basic".
                      ProfileCase{"urn:factur-x.eu:1p0:BASICWL",
                                  "BASIC-WL",
                                  "legacy",
                                  {"FACTUR-X_BASIC-WL", "FACTUR-X_BASICWL"}},
                      ProfileCase{"urn:cen.eu:en16931:2017#compliant#urn:example:other",
                                  "EN16931",
                                  "legacy",
                                  {"FACTUR-X_EN16931", "FACTUR-X_EN16931"}},
                      // No row and no fallback: nothing profile-specific runs.
                      ProfileCase{"urn:example:invoice", std::nullopt, "unknown", kCEN}),
    caseName);

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("rw-doc-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path / "rules");
    }
    ~TempDir() { fs::remove_all(path); }
    void write(const fs::path& name, const std::string& text) const {
        fs::create_directories((path / name).parent_path());
        std::ofstream(path / name) << text;
    }
};

const char* kCodes = "<codedb><cl id=\"1\"><enumeration value=\"EUR\"/></cl></codedb>";

std::string codeSchema(const std::string& uri) {
    return R"(<schema xmlns="http://purl.oclc.org/dsdl/schematron" queryBinding="xslt2">
      <ns prefix="i" uri="urn:test"/>
      <pattern id="p"><rule context="i:Currency">
        <let name="code" value="."/>
        <assert id="CL-1" test="document(')" +
           uri + R"(')/codedb/cl[@id=1]/enumeration[@value=$code]">unknown code</assert>
      </rule></pattern></schema>)";
}

std::vector<std::string> firedIDs(const RWValidationResult& r) {
    std::vector<std::string> ids;
    for (const auto& e : r.errors) ids.push_back(e.assertionId.value_or("?"));
    return ids;
}

}  // namespace

TEST(DocumentFunction, ReadsCodeListsBesideTheRulesOnceAndNothingElse) {
    TempDir dir;
    dir.write("rules/codes.xml", kCodes);
    dir.write("rules/codes.sch", codeSchema("codes.xml"));
    RWSchematronValidator v;
    v.addSchemaDirectory(dir.path / "rules");
    const std::string known = "<i:Doc xmlns:i=\"urn:test\"><i:Currency>EUR</i:Currency></i:Doc>";
    const std::string unknown = "<i:Doc xmlns:i=\"urn:test\"><i:Currency>XXX</i:Currency></i:Doc>";
    auto ok = v.validateXMLWithAutoDetection(known);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->errors.empty());
    EXPECT_TRUE(ok->engineProblems.empty());
    auto bad = v.validateXMLWithAutoDetection(unknown);
    ASSERT_TRUE(bad);
    EXPECT_EQ(firedIDs(*bad), std::vector<std::string>{"CL-1"});

    // Parsed once: a changed file is not read again by the same validator.
    dir.write("rules/codes.xml", "<codedb/>");
    auto cached = v.validateXMLWithAutoDetection(known);
    ASSERT_TRUE(cached);
    EXPECT_TRUE(cached->errors.empty());
}

TEST(DocumentFunction, RefusalIsAnEngineProblemNotAFinding) {
    TempDir dir;
    dir.write("outside.xml", kCodes);  // exists, but beside the rules folder
    dir.write("rules/up.sch", codeSchema("../outside.xml"));
    dir.write("rules/net.sch", codeSchema("http://127.0.0.1:9/codes.xml"));
    dir.write("rules/abs.sch", codeSchema((dir.path / "outside.xml").string()));
    RWSchematronValidator v;
    v.addSchemaDirectory(dir.path / "rules");
    auto result = v.validateXMLWithAutoDetection(
        "<i:Doc "
        "xmlns:i=\"urn:test\"><i:Currency>EUR</i:Currency><i:Currency>USD</i:Currency></i:Doc>");
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->errors.empty()) << "a test that could not run must not fire";
    ASSERT_EQ(result->engineProblems.size(), 3u);  // once per rule set, not per node
    for (const auto& problem : result->engineProblems) {
        EXPECT_EQ(problem.count, 2u);
        EXPECT_NE(problem.firstMessage.find("cannot be read"), std::string::npos)
            << problem.firstMessage;
    }
}

TEST(DocumentFunction, SchemaTextWithoutFolderReadsNothing) {
    TempDir dir;
    dir.write("codes.xml", kCodes);
    RWSchematronValidator v;
    auto result =
        v.validateXMLWithSchema("<i:Doc xmlns:i=\"urn:test\"><i:Currency>EUR</i:Currency></i:Doc>",
                                codeSchema((dir.path / "codes.xml").string()));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->errors.empty());
    ASSERT_EQ(result->engineProblems.size(), 1u);
}
