// An imported Factur-X invoice is judged by its profile's rules, as `ruleweave validate` does.
#include "LibraryTestSupport.h"
#include "library/LLDocument.h"
#include "platform/Resources.h"
#include "ruleweave/RWValidationResult.h"

using namespace library;
namespace fs = std::filesystem;

namespace {

bool haveProfileRules() {
    auto resources = platform::resourceDirectory();
    return resources && fs::is_directory(*resources / "rules" / "FacturX" / "MINIMUM");
}

}  // namespace

TEST(ProfileValidation, ImportedMinimumInvoiceUsesItsProfileAndNamesTheRuleSets) {
    SKIP_WITHOUT_CORPUS();
    if (!haveProfileRules()) GTEST_SKIP() << "Factur-X rules not fetched (scripts/fetch-rules)";
    auto document = LLDocument::makeUntitled();
    auto& context = document->managedObjectContext();
    // MINIMUM is no full EN 16931 invoice: the CEN rules would call it invalid (BR-16, ...);
    // its own rules find only "not used" notes, which are information.
    auto records = document->importFile(
        corpusDir() / "zugferd/ZUGFeRDv2/correct/FNFE-factur-x-examples/Facture_FR_MINIMUM.pdf",
        context);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.front()->validationResult(),
              LLValidationResult::Valid);  // green, as ruleweave's "valid"

    auto answer = document->showValidation(*records.front());
    ASSERT_TRUE(answer.result);
    EXPECT_EQ(answer.result->profile, "MINIMUM");
    EXPECT_TRUE(answer.result->errors.empty());
    EXPECT_TRUE(answer.result->engineProblems.empty());  // the code lists were read
    EXPECT_FALSE(answer.result->warnings.empty());       // the information findings are kept
    ASSERT_FALSE(answer.result->ruleSets.empty());
    for (const auto& set : answer.result->ruleSets) {
        EXPECT_EQ(set.name.rfind("FACTUR-X_MINIMUM", 0), 0u) << set.name;
        EXPECT_EQ(set.version, "1.09.2");
    }
}
