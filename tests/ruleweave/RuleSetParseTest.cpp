#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/XPathContext.h"
#include "platform/XmlDocument.h"
#include "ruleweave/RWXPath2Evaluator.h"

namespace fs = std::filesystem;

namespace {

std::shared_ptr<platform::XmlDocument> load(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return platform::XmlDocument::parse(bytes.str());
}

}  // namespace

// Every expression of every official rule set parses without the lenient parser having to drop
// anything: no leftover tokens, unknown functions or prefixes, or malformed constructs.
TEST(RuleSets, EveryExpressionParsesCleanly) {
    fs::path root = fs::path(LEDGERLENS_RULES_DIR) / "Schematron";
    if (!fs::is_directory(root)) GTEST_SKIP() << "rule sets not found at " << root;

    std::vector<std::pair<fs::path, std::shared_ptr<platform::XmlDocument>>> schemas;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.path().extension() == ".sch") schemas.emplace_back(entry.path(), load(entry.path()));
    ASSERT_GT(schemas.size(), 10u);

    ruleweave::RWXPath2Evaluator::NamespaceMap namespaces;
    struct Function {
        std::string name, body;
        std::vector<std::string> parameters;
    };
    std::vector<Function> functions;
    for (const auto& [path, doc] : schemas) {
        ASSERT_TRUE(doc) << path;
        platform::XPathContext xpath(doc->raw());
        xpath.registerNamespace("sch", "http://purl.oclc.org/dsdl/schematron");
        xpath.registerNamespace("xsl", "http://www.w3.org/1999/XSL/Transform");
        for (auto ns : xpath.nodes("//sch:ns")) namespaces[ns.attribute("prefix")] = ns.attribute("uri");
        for (auto f : xpath.nodes("//xsl:function")) {
            Function function{f.attribute("name"), xpath.firstNode("xsl:sequence/@select", f).stringValue(), {}};
            for (auto p : xpath.nodes("xsl:param", f)) function.parameters.push_back(p.attribute("name"));
            functions.push_back(function);
        }
    }
    ruleweave::RWXPath2Evaluator evaluator(namespaces);
    for (const auto& f : functions) evaluator.registerFunction(f.name, f.parameters, f.body);

    size_t expressions = 0, failures = 0;
    for (const auto& [path, doc] : schemas) {
        platform::XPathContext xpath(doc->raw());
        xpath.registerNamespace("sch", "http://purl.oclc.org/dsdl/schematron");
        xpath.registerNamespace("xsl", "http://www.w3.org/1999/XSL/Transform");
        const char* query =
            "//sch:rule/@context | //sch:assert/@test | //sch:report/@test | //sch:let/@value | "
            "//sch:param/@value | //sch:value-of/@select | //xsl:sequence/@select | "
            "//xsl:param/@select | //xsl:variable/@select";
        for (auto attribute : xpath.nodes(query)) {
            std::string expression = attribute.stringValue();
            ++expressions;
            auto problems = evaluator.parseDiagnostics(expression);
            if (!problems.empty()) {
                ++failures;
                ADD_FAILURE() << path.filename() << ": " << expression.substr(0, 300) << "\n  -> " << problems.front();
            }
        }
    }
    std::cout << expressions - failures << " of " << expressions << " expressions parse cleanly\n";
    EXPECT_GT(expressions, 3000u);
    EXPECT_EQ(failures, 0u);
}
