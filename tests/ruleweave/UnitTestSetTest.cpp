#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/XPathContext.h"
#include "platform/FileData.h"
#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) { return platform::readFileData(path).value_or(""); }

// The instance of one test as a document of its own; namespace declarations inherited from the
// test set are carried onto its root.
std::shared_ptr<platform::XmlDocument> instanceDocument(xmlNodePtr instance) {
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr copy = xmlDocCopyNode(instance, doc, 1);
    xmlDocSetRootElement(doc, copy);
    // Serialise and re-read so the copy is an ordinary parsed document.
    auto owned = std::make_shared<platform::XmlDocument>(doc);
    return platform::XmlDocument::parse(owned->serialize());
}

}  // namespace

// The CEN unit tests: each test names rules that must fire (error/warning) or stay silent
// (success) on its instance. Every expectation the official artefacts meet must hold.
TEST(UnitTestSets, ExpectationsOfTheCENTestsHold) {
    fs::path corpus = fs::path(LEDGERLENS_CORPUS_DIR) / "en16931-unit";
    fs::path rules = fs::path(LEDGERLENS_RULES_DIR) / "Schematron" / "EN16931";
    if (!fs::is_directory(corpus) || !fs::is_directory(rules)) GTEST_SKIP() << "corpus or rules not found";

    ruleweave::RWSchematronValidator validator;
    size_t tests = 0, expectations = 0, met = 0;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(corpus))
        if (entry.path().extension() == ".xml") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        auto set = platform::XmlDocument::parse(readFile(file));
        ASSERT_TRUE(set) << file;
        std::string configuration = set->root().attribute("configuration");
        fs::path schemaFile = configuration.find("cii") != std::string::npos
                                  ? rules / "cii" / "EN16931-CII-validation.sch"
                                  : rules / "ubl" / "EN16931-UBL-validation.sch";
        auto schema = validator.schemaForFile(schemaFile);
        ASSERT_TRUE(schema) << schemaFile;
        platform::XPathContext xpath(set->raw());
        for (auto test : xpath.nodes("/*[local-name()='testSet']/*[local-name()='test']")) {
            platform::XmlNode instance;
            for (auto child : test.childElements())
                if (child.localName() != "assert") instance = child;
            if (!instance) continue;
            ++tests;
            auto doc = instanceDocument(instance.raw());
            ASSERT_TRUE(doc) << file;
            auto result = validator.validateDocument(*doc, *schema);
            auto fired = [&result](const std::string& id, bool fatal) {
                for (const auto* list : {&result.errors, &result.warnings})
                    for (const auto& e : *list)
                        if (e.assertionId == id && (e.flag == std::optional<std::string>("fatal")) == fatal) return true;
                return false;
            };
            auto anyFired = [&result](const std::string& id) {
                for (const auto* list : {&result.errors, &result.warnings})
                    for (const auto& e : *list)
                        if (e.assertionId == id) return true;
                return false;
            };
            for (auto assertBlock : xpath.nodes("*[local-name()='assert']/*", test)) {
                std::string kind = assertBlock.localName();
                std::string id = assertBlock.stringValue();
                bool ok;
                if (kind == "success") ok = !anyFired(id);
                else if (kind == "error") ok = fired(id, true);
                else if (kind == "warning") ok = fired(id, false);
                else continue;
                ++expectations;
                if (ok) ++met;
                else ADD_FAILURE() << file.filename() << " test " << tests << ": expected " << kind << " " << id;
            }
        }
    }
    std::cout << met << " of " << expectations << " expectations met in " << tests << " tests of "
              << files.size() << " files\n";
    EXPECT_EQ(met, expectations);
    EXPECT_GT(expectations, 800u);
}
