#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "ruleweave/RWSchematronValidator.h"
#include "ruleweave/XSDValidation.h"

namespace fs = std::filesystem;
using namespace ruleweave;

namespace {

const char* kDoc = R"SCH(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
 xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"
 xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2">
 <cbc:CustomizationID>urn:cen.eu:en16931:2017</cbc:CustomizationID>
 <cbc:ID>A-1</cbc:ID>
 <cac:InvoiceLine><cbc:ID>1</cbc:ID><cbc:Amount currencyID="EUR">5</cbc:Amount></cac:InvoiceLine>
 <cac:InvoiceLine><cbc:ID>2</cbc:ID><cbc:Amount currencyID="EUR">-1</cbc:Amount></cac:InvoiceLine>
</Invoice>)SCH";

std::string schema(const std::string& body) {
    return R"SCH(<schema xmlns="http://purl.oclc.org/dsdl/schematron" queryBinding="xslt2">
      <ns prefix="cbc" uri="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"/>
      <ns prefix="cac" uri="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"/>
      <ns prefix="ubl" uri="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"/>)SCH" +
           body + "</schema>";
}

std::vector<std::string> ids(const RWValidationResult& r) {
    std::vector<std::string> out;
    for (const auto* list : {&r.errors, &r.warnings})
        for (const auto& e : *list)
            out.push_back(e.assertionId.value_or("?") + "@" + e.location.value_or(""));
    return out;
}

// Catalogs of the temporary rule folders go to a cache folder of this run, not the user's.
struct PrivateCatalogCache {
    fs::path path = fs::temp_directory_path() / ("rw-catalog-cache-" + std::to_string(::getpid()));
    PrivateCatalogCache() { ::setenv("XDG_CACHE_HOME", path.c_str(), 1); }
    ~PrivateCatalogCache() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
} privateCatalogCache;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("rw-sch-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    void write(const std::string& name, const std::string& text) const {
        fs::create_directories((path / name).parent_path());
        std::ofstream(path / name) << text;
    }
};

}  // namespace

TEST(SchematronRun, AssertsReportsAndFirstMatchingRule) {
    RWSchematronValidator v;
    auto result = v.validateXMLWithSchema(kDoc, schema(R"SCH(
      <pattern id="p">
        <rule context="cac:InvoiceLine[cbc:ID = '2']">
          <assert id="A-first" test="false()">first rule</assert>
        </rule>
        <rule context="cac:InvoiceLine">
          <assert id="A-amount" test="cbc:Amount > 0">amount of line <value-of select="cbc:ID"/> is <value-of select="cbc:Amount"/></assert>
          <report id="R-line" test="cbc:ID = '1'" flag="warning">line one</report>
        </rule>
      </pattern>
      <pattern id="q"><rule context="cac:InvoiceLine"><assert id="Q" test="false()" flag="fatal">q</assert></rule></pattern>)SCH"));
    ASSERT_TRUE(result);
    // Line 2 is taken by the first rule of pattern p only; pattern q sees both lines.
    EXPECT_EQ(
        ids(*result),
        (std::vector<std::string>{
            "A-first@/ubl:Invoice[1]/cac:InvoiceLine[2]", "Q@/ubl:Invoice[1]/cac:InvoiceLine[1]",
            "Q@/ubl:Invoice[1]/cac:InvoiceLine[2]", "R-line@/ubl:Invoice[1]/cac:InvoiceLine[1]"}));
    EXPECT_EQ(result->status(), 3);
    EXPECT_FALSE(result->valid);
    EXPECT_EQ(result->warnings.front().severity(), "Warning");
    EXPECT_EQ(result->warnings.front().role, "info");
}

TEST(SchematronRun, MessagesLetsAndContextPatterns) {
    RWSchematronValidator v;
    auto result = v.validateXMLWithSchema(kDoc, schema(R"SCH(
      <let name="limit" value="0"/>
      <pattern id="p">
        <let name="count" value="count(//cac:InvoiceLine)"/>
        <rule context="cbc:Amount | cbc:ID">
          <let name="limit" value="if (self::cbc:Amount) then 3 else 0"/>
          <assert id="M" test="not(self::cbc:Amount) or . > $limit">Value <value-of select="."/> of <name/> in <value-of select="$count"/> lines; <emph>ignored</emph>end</assert>
        </rule>
        <rule context="/ubl:Invoice"><assert id="G" test="$limit = 1">global limit <value-of select="$limit"/></assert></rule>
      </pattern>)SCH"));
    ASSERT_TRUE(result);
    ASSERT_EQ(result->errors.size(), 2u);
    EXPECT_EQ(result->errors[0].assertionId, "G");
    // The rule's own let did not leak into the later rule: the global value 0 is seen.
    EXPECT_EQ(result->errors[0].message, "global limit 0");
    EXPECT_EQ(result->errors[1].message, "Value -1 of Amount in 2 lines; end");
    EXPECT_EQ(result->errors[1].location, "/ubl:Invoice[1]/cac:InvoiceLine[2]/cbc:Amount[1]");
}

TEST(SchematronRun, SeverityFromIdFlagRoleAndType) {
    RWValidationError e;
    e.type = "assert";
    EXPECT_EQ(e.severity(), "Error");
    e.type = "report";
    EXPECT_EQ(e.severity(), "Info");
    e.role = "warn";
    EXPECT_EQ(e.severity(), "Warning");
    e.flag = "FATAL";
    EXPECT_EQ(e.severity(), "Error");
    e.flag = "information";
    EXPECT_EQ(e.severity(), "Info");
    e.flag = "odd";
    EXPECT_EQ(e.severity(), "Warning");  // falls through to the role
    e.assertionId = "PEPPOL-EN16931-R001";
    e.flag = "fatal";
    EXPECT_EQ(e.severity(), "Info");
    EXPECT_EQ(RWValidationResult::colorForStatus(3), "#ff3b30");
    EXPECT_FALSE(RWValidationResult::colorForStatus(5));
}

// Rule contexts are matched in one walk of the document as match patterns; each case states
// which rule claims which nodes, first matching rule per pattern, in document order.
struct ContextCase {
    const char* name;
    const char* body;
    std::vector<std::string> expected;
};

class RuleContexts : public ::testing::TestWithParam<ContextCase> {};

TEST_P(RuleContexts, ClaimTheNodesTheirPathsSelect) {
    const char* doc = R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
 xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"
 xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2">
 <cbc:CustomizationID>urn:cen.eu:en16931:2017</cbc:CustomizationID>
 <cbc:ID>A-1</cbc:ID>
 <cbc:Note>n</cbc:Note>
 <cac:InvoiceLine><cbc:ID>1</cbc:ID><cbc:Amount currencyID="EUR">5</cbc:Amount></cac:InvoiceLine>
 <cac:InvoiceLine><cbc:ID>2</cbc:ID><cbc:Amount currencyID="USD">-1</cbc:Amount><cac:Sub><cbc:ID>2.1</cbc:ID></cac:Sub></cac:InvoiceLine>
 <cac:InvoiceLine><cbc:ID>3</cbc:ID><cbc:Note>x</cbc:Note></cac:InvoiceLine>
</Invoice>)";
    RWSchematronValidator v;
    auto result = v.validateXMLWithSchema(doc, schema(GetParam().body));
    ASSERT_TRUE(result);
    EXPECT_EQ(ids(*result), GetParam().expected);
}

const std::string kLine = "/ubl:Invoice[1]/cac:InvoiceLine";

INSTANTIATE_TEST_SUITE_P(
    SchematronRun, RuleContexts,
    ::testing::Values(
        ContextCase{"UnionsAndFirstRule",
                    R"SCH(<pattern id="p">
                         <rule context="cac:InvoiceLine[cbc:ID = '2'] | cbc:Note"><report id="U" test="true()"/></rule>
                         <rule context="cac:InvoiceLine | cbc:Note"><report id="L" test="true()"/></rule></pattern>)SCH",
                    {"U@/ubl:Invoice[1]/cbc:Note[1]", "L@" + kLine + "[1]", "U@" + kLine + "[2]",
                     "L@" + kLine + "[3]", "U@" + kLine + "[3]/cbc:Note[1]"}},
        ContextCase{"PositionsAmongSiblings",
                    R"SCH(<let name="two" value="2"/><pattern id="p">
                         <rule context="cac:InvoiceLine[last()]"><report id="Last" test="true()"/></rule>
                         <rule context="cac:InvoiceLine[1]"><report id="First" test="true()"/></rule>
                         <rule context="cac:InvoiceLine[$two]"><report id="Two" test="true()"/></rule></pattern>)SCH",
                    {"First@" + kLine + "[1]", "Two@" + kLine + "[2]", "Last@" + kLine + "[3]"}},
        ContextCase{
            "AbsoluteAndDescendantSteps",
            R"SCH(<pattern id="p">
                         <rule context="/ubl:Invoice/cbc:ID"><report id="Top" test="true()"/></rule>
                         <rule context="ubl:Invoice//cbc:ID"><report id="Deep" test="true()"/></rule>
                         <rule context="/cac:InvoiceLine"><report id="Never" test="true()"/></rule></pattern>)SCH",
            {"Top@/ubl:Invoice[1]/cbc:ID[1]", "Deep@" + kLine + "[1]/cbc:ID[1]",
             "Deep@" + kLine + "[2]/cbc:ID[1]", "Deep@" + kLine + "[2]/cac:Sub[1]/cbc:ID[1]",
             "Deep@" + kLine + "[3]/cbc:ID[1]"}},
        ContextCase{"AttributeContexts",
                    R"SCH(<pattern id="p">
                         <rule context="cbc:Amount[. &lt; 0]/@currencyID"><report id="Negative" test=". = 'USD'"/></rule>
                         <rule context="@currencyID"><report id="Currency" test=". = 'EUR'"/></rule></pattern>)SCH",
                    {"Currency@/", "Negative@/"}},
        ContextCase{"PatternVariablesInPredicates",
                    R"SCH(<pattern id="p"><let name="wanted" value="'3'"/>
                         <rule context="cac:InvoiceLine[cbc:ID = $wanted]"><report id="W" test="true()"/></rule>
                         <rule context="cac:InvoiceLine"><report id="O" test="true()"/></rule></pattern>)SCH",
                    {"O@" + kLine + "[1]", "O@" + kLine + "[2]", "W@" + kLine + "[3]"}},
        ContextCase{"Wildcards",
                    R"SCH(<pattern id="p">
                         <rule context="cac:*[cbc:ID = '2.1']"><report id="S" test="true()"/></rule>
                         <rule context="ubl:Invoice/*[cbc:ID]"><report id="L" test="true()"/></rule></pattern>)SCH",
                    {"L@" + kLine + "[1]", "L@" + kLine + "[2]", "S@" + kLine + "[2]/cac:Sub[1]",
                     "L@" + kLine + "[3]"}},
        ContextCase{"AContextThatFailsMatchesNothing",
                    R"SCH(<pattern id="p">
                         <rule context="cac:InvoiceLine[xs:integer(cbc:Note) = 1]"><report id="F" test="true()"/></rule>
                         <rule context="cac:InvoiceLine"><report id="O" test="true()"/></rule></pattern>)SCH",
                    {"O@" + kLine + "[1]", "O@" + kLine + "[2]", "O@" + kLine + "[3]"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SchematronRun, ValidatorsSharingSchemasAgreeAcrossThreads) {
    TempDir dir;
    dir.write("rules/lines.sch", schema(R"SCH(<pattern id="p">
        <rule context="cac:InvoiceLine"><assert id="POS" test="cbc:Amount > 0">positive</assert></rule>
      </pattern>)SCH"));
    RWSchematronValidator first;
    first.addSchemaDirectory(dir.path / "rules");
    auto second = first.sharingSchemas();
    std::vector<std::string> a, b;
    std::thread other([&] {
        for (int i = 0; i < 20; ++i) b = ids(*second->validateXMLWithAutoDetection(kDoc));
    });
    for (int i = 0; i < 20; ++i) a = ids(*first.validateXMLWithAutoDetection(kDoc));
    other.join();
    EXPECT_EQ(a, (std::vector<std::string>{"POS@/ubl:Invoice[1]/cac:InvoiceLine[2]"}));
    EXPECT_EQ(a, b);
    // The second validator found the schema compiled by the first: the same parsed object.
    EXPECT_EQ(first.schemaForFile(dir.path / "rules/lines.sch"),
              second->schemaForFile(dir.path / "rules/lines.sch"));
}

TEST(SchematronParse, IncludesAbstractPatternsAndFunctions) {
    TempDir dir;
    dir.write("rules/main.sch", schema(R"SCH(
      <include href="parts/abstract.sch"/>
      <include href="parts/bound.sch"/>
      <include href="parts/lets.sch"/>
      <include href="missing.sch"/>)SCH"));
    // A file whose root is a pattern replaces its include; a schema root gives its children.
    dir.write(
        "rules/parts/abstract.sch",
        R"SCH(<pattern xmlns="http://purl.oclc.org/dsdl/schematron" abstract="true" id="model">
        <rule context="$Line"><assert id="BR-L" test="$BR-L">line check <value-of select="$Line-ID"/></assert></rule>
      </pattern>)SCH");
    dir.write("rules/parts/bound.sch",
              R"SCH(<pattern xmlns="http://purl.oclc.org/dsdl/schematron" is-a="model" id="bound">
        <param name="Line" value="cac:InvoiceLine"/>
        <param name="Line-ID" value="cbc:ID"/>
        <param name="BR-L" value="u:positive(cbc:Amount)"/>
      </pattern>)SCH");
    dir.write(
        "rules/parts/lets.sch",
        R"SCH(<schema xmlns="http://purl.oclc.org/dsdl/schematron" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
        <ns prefix="u" uri="utils"/>
        <let name="zero" value="0"/>
        <xsl:function name="u:positive"><xsl:param name="x"/><xsl:sequence select="xs:decimal($x) > $zero"/></xsl:function>
        <include href="nested.sch"/>
      </schema>)SCH");
    dir.write("rules/parts/nested.sch",
              R"SCH(<pattern xmlns="http://purl.oclc.org/dsdl/schematron" id="nested">
        <rule context="/"><assert id="N" test="false()">nested include ran</assert></rule>
        <include href="nested.sch"/>
      </pattern>)SCH");
    RWSchematronValidator v;
    platform::Error error;
    auto parsed = v.schemaForFile(dir.path / "rules" / "main.sch", &error);
    ASSERT_TRUE(parsed) << error.localizedDescription;
    ASSERT_EQ(parsed->patterns.size(), 2u);  // the abstract template does not run
    EXPECT_EQ(parsed->patterns[0].patternId, "bound");
    EXPECT_EQ(parsed->patterns[0].rules[0].context, "cac:InvoiceLine");
    EXPECT_EQ(parsed->patterns[0].rules[0].assertions[0].test, "u:positive(cbc:Amount)");
    EXPECT_EQ(parsed->lets.size(), 1u);
    EXPECT_EQ(parsed->functions.size(), 1u);
    auto result = v.validateXMLWithSchemaFile(kDoc, dir.path / "rules" / "main.sch", &error);
    ASSERT_TRUE(result);
    EXPECT_EQ(ids(*result),
              (std::vector<std::string>{"BR-L@/ubl:Invoice[1]/cac:InvoiceLine[2]", "N@/"}));
    EXPECT_EQ(result->errors[0].message, "line check 2");
}

TEST(SchematronParse, BrokenSchemasAreErrorsNotCrashes) {
    RWSchematronValidator v;
    platform::Error error;
    EXPECT_FALSE(v.validateXMLWithSchema(kDoc, "<schema><pattern>", &error));
    EXPECT_FALSE(error.localizedDescription.empty());
    EXPECT_FALSE(v.validateXMLWithSchema("<not-xml", schema(""), &error));
    auto empty =
        v.validateXMLWithSchema(kDoc, schema("<pattern id='x'><rule context='cbc:Nothing'><assert "
                                             "test='false()'/></rule></pattern>"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->valid);
    EXPECT_EQ(empty->status(), 1);
    EXPECT_FALSE(v.schemaForFile("/nonexistent/file.sch", &error));
}

TEST(SchemaCatalog, PicksRuleSetsByNamespaceAndCustomization) {
    fs::path rules = fs::path(LEDGERLENS_RULES_DIR);
    if (!fs::is_directory(rules / "Schematron")) GTEST_SKIP() << "rules not found";
    RWSchematronValidator v;
    v.addSchemaDirectory(rules);
    auto names = [&](const std::string& xml) {
        std::vector<std::string> out;
        platform::Error error;
        for (const auto& p :
             v.findMatchingSchemasForXML(xml, &error).value_or(std::vector<std::string>{}))
            out.push_back(fs::path(p).filename().string());
        std::sort(out.begin(), out.end());
        return out;
    };
    std::string ubl = kDoc;
    EXPECT_EQ(names(ubl),
              (std::vector<std::string>{"EN16931-UBL-validation.sch", "UBL-Invoice-2.1.xsd"}));
    std::string xr = ubl;
    xr.replace(xr.find("urn:cen.eu:en16931:2017"), 23,
               "urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0");
    EXPECT_EQ(names(xr),
              (std::vector<std::string>{"EN16931-UBL-validation.sch", "UBL-Invoice-2.1.xsd",
                                        "XRechnung-UBL-validation.sch"}));
    std::string oldXr = ubl;
    oldXr.replace(oldXr.find("urn:cen.eu:en16931:2017"), 23,
                  "urn:cen.eu:en16931:2017#compliant#urn:xoev-de:kosit:standard:xrechnung_1.2");
    EXPECT_EQ(names(oldXr).size(), 3u);
    platform::Error error;
    auto none = v.findMatchingSchemasForXML("<Order xmlns='urn:nothing'/>", &error);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(error.code, 404);
    EXPECT_FALSE(v.validateXMLWithAutoDetection("<Order xmlns='urn:nothing'/>", &error));
}

TEST(XSD, FindingsOnlyFromTheSchemaOfTheRoot) {
    fs::path rules = fs::path(LEDGERLENS_RULES_DIR);
    if (!fs::is_directory(rules / "UBL-XSD")) GTEST_SKIP() << "rules not found";
    auto doc = platform::XmlDocument::parse(kDoc);
    platform::Error error;
    fs::path invoiceXsd = rules / "UBL-XSD" / "maindoc" / "UBL-Invoice-2.1.xsd";
    // Not valid (IssueDate and more are missing): the name comes back, the error tells.
    EXPECT_EQ(validateWithXSD(*doc, invoiceXsd, &error), "UBL-Invoice-2.1");
    EXPECT_EQ(error.localizedDescription, "XML is invalid.");
    EXPECT_NE(error.userInfo["ValidationErrors"].find("IssueDate"), std::string::npos)
        << error.userInfo["ValidationErrors"];
    platform::Error gate;
    EXPECT_EQ(
        validateWithXSDs(
            *doc, {invoiceXsd, rules / "UBL-XSD" / "maindoc" / "UBL-CreditNote-2.1.xsd"}, &gate),
        "UBL-Invoice-2.1");
    EXPECT_TRUE(gate.domain.empty());
    RWSchematronValidator v;
    v.addSchemaDirectory(rules / "UBL-XSD");
    auto result = v.validateXMLWithAutoDetection(kDoc, &error);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->valid);
    EXPECT_EQ(result->errors.front().type, "xsd");
    EXPECT_EQ(result->errors.front().schemaTitle, "UBL-Invoice-2.1");
}

TEST(XSD, RemoteImportsResolveThroughTheCatalogOffline) {
    fs::path dir = fs::path(LEDGERLENS_CORPUS_DIR) / "fatturapa" / "official";
    fs::path rules = fs::path(LEDGERLENS_RULES_DIR) / "FatturaPA-XSD";
    if (!fs::is_directory(dir) || !fs::is_directory(rules))
        GTEST_SKIP() << "corpus or rules not found";
    RWSchematronValidator v;
    v.addSchemaDirectory(rules);
    std::ifstream good(dir / "IT01234567890_FPA01.xml"), bad(dir / "IT01234567890_FPR02.xml");
    std::string goodXml((std::istreambuf_iterator<char>(good)), {}),
        badXml((std::istreambuf_iterator<char>(bad)), {});
    platform::Error error;
    auto ok = v.validateXMLWithAutoDetection(goodXml, &error);
    ASSERT_TRUE(ok) << error.localizedDescription;
    EXPECT_TRUE(ok->valid) << (ok->errors.empty() ? "" : ok->errors.front().message.value_or(""));
    auto failing = v.validateXMLWithAutoDetection(badXml, &error);
    ASSERT_TRUE(failing);
    EXPECT_FALSE(failing->valid);
}

TEST(SchematronDocument, ValidatesItselfAgainstTextOrFile) {
    auto doc = platform::XmlDocument::parse(kDoc);
    auto result = validateWithSchematron(
        *doc,
        schema(
            R"SCH(<pattern id="p"><rule context="/ubl:Invoice/cbc:ID"><assert id="X" test=". = 'B-2'">id</assert></rule></pattern>)SCH"));
    ASSERT_TRUE(result);
    EXPECT_EQ(ids(*result), (std::vector<std::string>{"X@/ubl:Invoice[1]/cbc:ID[1]"}));
    platform::Error error;
    EXPECT_FALSE(validateWithSchematronFile(*doc, "/nonexistent.sch", &error));
    EXPECT_EQ(error.domain, kRuleweaveErrorDomain);
}

// The catalog of a rules folder is kept under the cache folder and reused only while every
// file of the folder is unchanged; a damaged or foreign cache file is never trusted.
// A catalog first made through a detour ("sub/../rules") must not hand out the detour's
// paths once the detour is gone: they name files that no longer resolve.
TEST(SchemaCatalog, CachedCatalogNamesFilesThatExistHoweverTheFolderWasReached) {
    TempDir dir;
    const fs::path cache = dir.path / "cache";
    dir.write("rules/core.sch", schema(R"SCH(<pattern id="p"><rule context="cac:InvoiceLine">
        <assert id="POS" test="cbc:Amount > 0">positive</assert></rule></pattern>)SCH"));
    dir.write("rules/XSD/catalog.xml",
              R"(<catalog xmlns="urn:oasis:names:tc:entity:xmlns:xml:catalog">)"
              R"(<uri name="http://example.org/remote.xsd" uri="remote.xsd"/></catalog>)");
    dir.write("sub/keep.txt", "x");
    auto paths = [&](const fs::path& folder, bool& fromCache) {
        RWSchematronValidator v;
        v.setCatalogCacheDirectory(cache);
        v.addSchemaDirectory(folder);
        fromCache = v.catalogFromCache();
        std::vector<std::string> out;
        for (const auto& [path, e] : v.schemaCatalog()) out.push_back(path);
        return out;
    };
    bool fromCache = true;
    ASSERT_EQ(paths(dir.path / "sub" / ".." / "rules", fromCache).size(), 1u);
    EXPECT_FALSE(fromCache);
    fs::remove_all(dir.path / "sub");
    const auto cached = paths(dir.path / "rules", fromCache);
    EXPECT_TRUE(fromCache);
    ASSERT_EQ(cached.size(), 1u);
    EXPECT_TRUE(fs::is_regular_file(cached.front())) << cached.front();
    // The XML catalogs it registers again (XSD imports go through them) must exist too.
    ASSERT_EQ(std::distance(fs::directory_iterator(cache), fs::directory_iterator()), 1);
    std::ifstream in(fs::directory_iterator(cache)->path());
    int catalogs = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("xmlcatalog\t", 0) != 0) continue;
        ++catalogs;
        EXPECT_TRUE(fs::is_regular_file(line.substr(11))) << line;
    }
    EXPECT_EQ(catalogs, 1);
}

// Every folder ever cataloged leaves a file; those of folders that are gone are removed when
// a catalog is next written, and files that are not catalogs are left alone.
TEST(SchemaCatalog, CatalogsOfRemovedFoldersLeaveTheCache) {
    TempDir dir;
    const fs::path cache = dir.path / "cache";
    const std::string rules = schema(R"SCH(<pattern id="p"><rule context="cac:InvoiceLine">
        <assert id="POS" test="cbc:Amount > 0">positive</assert></rule></pattern>)SCH");
    for (const char* folder : {"first/core.sch", "second/core.sch", "kept/core.sch"})
        dir.write(folder, rules);
    dir.write("cache/notes.txt", "someone else's file");
    auto catalog = [&](const char* folder) {
        RWSchematronValidator v;
        v.setCatalogCacheDirectory(cache);
        v.addSchemaDirectory(dir.path / folder);
        return v.schemaCatalog().size();
    };
    auto catalogs = [&] {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(cache))
            count += entry.path().filename().string().rfind("rules-catalog-", 0) == 0;
        return count;
    };
    ASSERT_EQ(catalog("first"), 1u);
    ASSERT_EQ(catalog("second"), 1u);
    EXPECT_EQ(catalogs(), 2);
    fs::remove_all(dir.path / "first");
    fs::remove_all(dir.path / "second");
    ASSERT_EQ(catalog("kept"), 1u);
    EXPECT_EQ(catalogs(), 1);
    EXPECT_TRUE(fs::exists(cache / "notes.txt"));
}

TEST(SchemaCatalog, CachedCatalogIsReusedOnlyWhileTheRulesAreUnchanged) {
    TempDir dir;
    const fs::path cache = dir.path / "cache";
    auto customisation = [&](const std::string& id) {
        dir.write("rules/cius.sch", schema(R"SCH(<title>CIUS Version 1.2.3</title><pattern id="c">
            <rule context="/ubl:Invoice"><assert id="C" test="starts-with(cbc:CustomizationID, ')SCH" +
                                           id + R"SCH(')">id</assert></rule></pattern>)SCH"));
    };
    dir.write("rules/core.sch", schema(R"SCH(<pattern id="p"><rule context="cac:InvoiceLine">
        <assert id="POS" test="cbc:Amount > 0">positive</assert></rule></pattern>)SCH"));
    customisation("urn:first");
    auto catalog = [&](bool& fromCache) {
        RWSchematronValidator v;
        v.setCatalogCacheDirectory(cache);
        v.addSchemaDirectory(dir.path / "rules");
        fromCache = v.catalogFromCache();
        std::map<std::string, std::string> view;
        for (const auto& [path, e] : v.schemaCatalog())
            view[fs::path(path).filename().string()] =
                e.title + "|" + e.customizationID.value_or("-") + "|" + e.ruleSet.version + "|" +
                std::to_string(e.namespaces.size());
        return view;
    };
    bool fromCache = true;
    const auto scanned = catalog(fromCache);
    EXPECT_FALSE(fromCache);
    EXPECT_EQ(scanned.at("cius.sch"), "CIUS Version 1.2.3|urn:first|1.2.3|3");
    EXPECT_EQ(catalog(fromCache), scanned);
    EXPECT_TRUE(fromCache);

    // A changed rule file makes the folder be cataloged again.
    customisation("urn:second-and-longer");
    auto changed = catalog(fromCache);
    EXPECT_FALSE(fromCache);
    EXPECT_EQ(changed.at("cius.sch"), "CIUS Version 1.2.3|urn:second-and-longer|1.2.3|3");
    EXPECT_EQ(catalog(fromCache), changed);
    EXPECT_TRUE(fromCache);

    // Damaged, truncated or foreign files are ignored and replaced.
    ASSERT_EQ(std::distance(fs::directory_iterator(cache), fs::directory_iterator()), 1);
    const fs::path file = fs::directory_iterator(cache)->path();
    std::string good;
    {
        std::ifstream in(file);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string flipped = good;
    flipped[flipped.find("urn:second")] = 'X';  // same length, checksum no longer fits
    std::string foreign = good;
    foreign.replace(foreign.find("\troot\t") == std::string::npos ? foreign.find("root\t") + 5
                                                                  : foreign.find("\troot\t") + 6,
                    1, "#");
    for (const std::string& bad : {std::string("garbage\n"), good.substr(0, good.size() / 2),
                                   flipped, foreign, std::string()}) {
        std::ofstream(file, std::ios::trunc) << bad;
        EXPECT_EQ(catalog(fromCache), changed);
        EXPECT_FALSE(fromCache);
        EXPECT_EQ(catalog(fromCache), changed);  // rewritten whole
        EXPECT_TRUE(fromCache);
    }
}
