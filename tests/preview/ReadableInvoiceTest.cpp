// The readable view's content: which values it shows, under which titles, and which of them a
// click looks for in the PDF.
#include "PreviewTestSupport.h"
#include "model/LLInvoice.h"
#include "platform/SFLocalizeHelper.h"
#include "preview/LLInvoicePreview.h"
#include "preview/LLReadableInvoice.h"

using namespace preview;

namespace {

std::vector<std::string> titles(const std::vector<LLReadableSection>& sections) {
    std::vector<std::string> list;
    for (const auto& section : sections) list.push_back(section.title);
    return list;
}

const LLReadableRow* rowLabelled(const std::vector<LLReadableSection>& sections,
                                 const std::string& label) {
    for (const auto& section : sections)
        for (const auto& row : section.rows)
            if (row.label == label) return &row;
    return nullptr;
}

}  // namespace

TEST(ReadableInvoice, ShowsTheDocumentThePartiesTheLinesTheTaxesAndTheTotals) {
    SKIP_WITHOUT_CORPUS();
    auto invoice = invoiceFromXML(readCorpusFile(kRenderedCII));
    ASSERT_TRUE(invoice);
    const auto sections = readableSections(*invoice);
    EXPECT_EQ(titles(sections),
              (std::vector<std::string>{"Invoice", "Seller", "Buyer", "Lines", "Taxes", "Totals"}));
    const LLReadableRow* due = rowLabelled(sections, "Amount Due");
    ASSERT_TRUE(due);
    ASSERT_TRUE(due->amount);
    EXPECT_EQ(due->amount->toString(), "336.9");
    EXPECT_EQ(due->text, model::LLInvoiceElement::number(invoice->finalAmount));

    // Lines are named by their item and carry their amount; a line id equal to the name is not
    // repeated before it.
    const auto& lines = sections[3].rows;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].label, "Zeitschrift [...]");
    EXPECT_EQ(lines[0].amount->toString(), "288.79");
    EXPECT_EQ(lines[1].amount->toString(), "26.07");

    // Texts are never searched as amounts.
    for (const char* label : {"Number", "Issue Date", "Bank Account", "VAT ID"}) {
        const LLReadableRow* row = rowLabelled(sections, label);
        ASSERT_TRUE(row) << label;
        EXPECT_FALSE(row->amount) << label;
    }
    EXPECT_EQ(rowLabelled(sections, "Bank Account")->text, "DE79000000001234567890");
}

TEST(ReadableInvoice, TitlesAndLabelsAreInTheInterfaceLanguage) {
    SKIP_WITHOUT_CORPUS();
    auto invoice = invoiceFromXML(readCorpusFile(kRenderedCII));
    ASSERT_TRUE(invoice);
    auto& helper = platform::SFLocalizeHelper::sharedHelper();
    helper.setCurrentLanguage("de");
    const auto sections = readableSections(*invoice);
    helper.setCurrentLanguage("en");
    EXPECT_EQ(titles(sections), (std::vector<std::string>{"Rechnung", "Verkäufer", "Käufer",
                                                          "Positionen", "Steuern", "Summen"}));
    EXPECT_TRUE(rowLabelled(sections, "Zahlbetrag"));
}

TEST(ReadableInvoice, AnEmptyInvoiceHasNoSections) {
    model::LLInvoice invoice;
    invoice.seller = std::make_shared<model::LLInvoiceTradeParty>();
    EXPECT_TRUE(readableSections(invoice).empty());
}
