// Attachments carried inside an invoice end up as embedded files of its rendered PDF.
#include <gtest/gtest.h>

#include <QByteArray>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "layout/LLInvoiceRenderer.h"
#include "layout/LayoutTemplate.h"
#include "layout/SFLayoutPageView.h"
#include "layout/SFLayoutTablePreviewView.h"
#include "layout/SFLayoutTableSectionView.h"
#include "layout/SFLayoutTextView.h"
#include "model/LLInvoice.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "pagewright/PagewrightPDFDocumentAttachment.h"
#include "platform/XmlDocument.h"

namespace {

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Attribute `filename` (else "") → decoded bytes, read from the raw XML without the model.
// (Plain string search: std::regex recurses per character and overflows on long base64.)
std::map<std::string, std::string> binaryObjectsIn(const std::string& xml,
                                                   const std::string& element) {
    std::map<std::string, std::string> objects;
    const std::string attribute = "filename=\"";
    for (size_t at = xml.find(element); at != std::string::npos; at = xml.find(element, at + 1)) {
        const size_t open = xml.rfind('<', at);
        if (open == std::string::npos || xml[open + 1] == '/') continue;  // a closing tag
        const size_t close = xml.find('>', at);
        const size_t end = xml.find('<', close);
        const std::string attributes = xml.substr(at, close - at);
        std::string name;
        if (size_t n = attributes.find(attribute); n != std::string::npos) {
            n += attribute.size();
            name = attributes.substr(n, attributes.find('"', n) - n);
        }
        objects[name] = QByteArray::fromBase64(
                            QByteArray::fromStdString(xml.substr(close + 1, end - close - 1)))
                            .toStdString();
    }
    return objects;
}

struct Rendered {
    std::string pdf;
    std::string error;
};

Rendered render(const std::string& xml) {
    auto document = platform::XmlDocument::parse(xml);
    EXPECT_TRUE(document);
    if (!document) return {};
    auto invoice = model::LLInvoice::invoicesFromXML(document->root()).at(0);
    std::string error;
    auto layoutTemplate = layout::LayoutTemplate::named("Light", &error);
    EXPECT_TRUE(layoutTemplate) << error;
    if (!layoutTemplate) return {};
    layout::LLInvoiceRenderer renderer(*layoutTemplate);
    QByteArray pdf = renderer.buildPDFWithBackDrop(*invoice, false, &error);
    return {pdf.toStdString(), error};
}

std::map<std::string, std::string> embeddedFiles(const std::string& pdf) {
    std::map<std::string, std::string> files;
    auto document = pagewright::PagewrightPDFDocument::initWithData(pdf);
    EXPECT_TRUE(document);
    if (!document) return files;
    for (const auto& attachment : document->attachments())
        files[attachment->name] = attachment->data;
    return files;
}

struct CorpusCase {
    const char* file;
    const char* element;
};

// Names the case in test listings (the default prints the pointers' bytes).
void PrintTo(const CorpusCase& c, std::ostream* os) { *os << c.file; }

class RenderedAttachments : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(RenderedAttachments, EmbeddedBinaryObjectsBecomeEmbeddedFiles) {
    const std::filesystem::path file =
        std::filesystem::path(LEDGERLENS_CORPUS_DIR) / GetParam().file;
    if (!std::filesystem::exists(file)) GTEST_SKIP() << "corpus file not found: " << file;
    const std::string xml = fileText(file);
    const auto expected = binaryObjectsIn(xml, GetParam().element);
    ASSERT_FALSE(expected.empty());

    Rendered rendered = render(xml);
    ASSERT_EQ(rendered.pdf.rfind("%PDF-", 0), 0u) << rendered.error;
    const auto files = embeddedFiles(rendered.pdf);
    ASSERT_EQ(files.size(), expected.size());
    for (const auto& [name, bytes] : expected) {
        ASSERT_TRUE(files.count(name)) << name;
        EXPECT_EQ(files.at(name).size(), bytes.size()) << name;
        EXPECT_TRUE(files.at(name) == bytes) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, RenderedAttachments,
    ::testing::Values(
        CorpusCase{"xrechnung/testsuite/technical-cases/cius/01.01_comprehensive_test_uncefact.xml",
                   "AttachmentBinaryObject"},
        CorpusCase{"xrechnung/testsuite/technical-cases/cius/01.02_comprehensive_test_ubl.xml",
                   "EmbeddedDocumentBinaryObject"}),
    [](const ::testing::TestParamInfo<CorpusCase>& info) {
        return std::string(std::string_view(info.param.element).substr(0, 3)) == "Att" ? "CII"
                                                                                       : "UBL";
    });

// Text that is not base64 is left out; the rest of the document still renders.
TEST(RenderedAttachmentsFromText, BrokenBase64IsLeftOutAndTheInvoiceStillRenders) {
    const std::string xml =
        R"(<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
 xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
 xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
 <cbc:ID>R-1</cbc:ID><cbc:DocumentCurrencyCode>EUR</cbc:DocumentCurrencyCode>
 <cac:AdditionalDocumentReference><cbc:ID>good</cbc:ID><cac:Attachment>
  <cbc:EmbeddedDocumentBinaryObject mimeCode="text/plain" filename="good.txt">
   aGVsbG8g
   d29ybGQ=
  </cbc:EmbeddedDocumentBinaryObject></cac:Attachment></cac:AdditionalDocumentReference>
 <cac:AdditionalDocumentReference><cbc:ID>bad</cbc:ID><cac:Attachment>
  <cbc:EmbeddedDocumentBinaryObject filename="bad.txt">%%not base64%%</cbc:EmbeddedDocumentBinaryObject>
 </cac:Attachment></cac:AdditionalDocumentReference>
 <cac:AdditionalDocumentReference><cbc:ID>far</cbc:ID><cac:Attachment><cac:ExternalReference>
  <cbc:URI>file:///etc/passwd</cbc:URI></cac:ExternalReference></cac:Attachment>
 </cac:AdditionalDocumentReference>
</Invoice>)";
    Rendered rendered = render(xml);
    ASSERT_EQ(rendered.pdf.rfind("%PDF-", 0), 0u) << rendered.error;
    const auto files = embeddedFiles(rendered.pdf);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "good.txt");
    EXPECT_EQ(files.begin()->second, "hello world");
}

// A corpus invoice with the document it was read from; no invoice when the file is missing.
struct CorpusInvoice {
    explicit CorpusInvoice(const std::string& relative)
        : file(std::filesystem::path(LEDGERLENS_CORPUS_DIR) / relative) {
        if (!std::filesystem::exists(file)) return;
        document = platform::XmlDocument::parse(fileText(file));
        if (document) invoice = model::LLInvoice::invoicesFromXML(document->root()).at(0);
    }
    std::filesystem::path file;
    std::shared_ptr<platform::XmlDocument> document;
    std::shared_ptr<model::LLInvoice> invoice;
};

// Text line identifiers longer than the narrow position column stand under the description;
// the column shows the running number instead of breaking the identifier letter by letter.
TEST(RenderedPositions, LongLineIDsGoWithTheDescription) {
    CorpusInvoice read("xrechnung/testsuite/business-cases/standard/01.18a-INVOICE_ubl.xml");
    if (!read.invoice) GTEST_SKIP() << "corpus file not found: " << read.file;
    auto invoice = read.invoice;
    // A short identifier keeps its place.
    (*invoice->items)[3]->lineID = "4.1";
    layout::LLInvoiceRenderer renderer(layout::LayoutTemplate::named("Light").value());
    std::vector<QString> positions, texts;
    for (const auto& section : renderer.sectionsForInvoice(*invoice)) {
        if (section.identifier != "item") continue;
        QString text;
        for (const auto& view : section.view->subviews())
            if (auto field = std::dynamic_pointer_cast<layout::SFLayoutTextView>(view))
                text += field->plainText() + "|";
        positions.push_back(text.section('|', 0, 0));
        texts.push_back(text);
    }
    ASSERT_EQ(positions.size(), 4u);
    EXPECT_EQ(positions[0], "1");
    EXPECT_EQ(positions[1], "2");
    EXPECT_EQ(positions[2], "3");
    EXPECT_EQ(positions[3], "4.1");
    EXPECT_TRUE(texts[1].contains("Raumkosten Schulungsort")) << texts[1].toStdString();
    EXPECT_EQ(texts[3].count("4.1"), 1) << texts[3].toStdString();
}

// An invoice with many references has a tall reference block: the table starts below it.
TEST(RenderedPages, TableStartsBelowTheTextsAboveIt) {
    CorpusInvoice read(
        "xrechnung/testsuite/technical-cases/cius/01.01_comprehensive_test_uncefact.xml");
    if (!read.invoice) GTEST_SKIP() << "corpus file not found: " << read.file;
    auto invoice = read.invoice;
    layout::LLInvoiceRenderer renderer(layout::LayoutTemplate::named("Light").value());
    auto pages = renderer.layoutPages(*invoice, false);
    ASSERT_FALSE(pages.empty());
    auto table = pages[0].view->tableView();
    ASSERT_TRUE(table);
    bool tallerThanPlanned = false;
    for (const auto& view : pages[0].view->subviews()) {
        if (view == table || view->frame().top() >= table->frame().top()) continue;
        EXPECT_LE(view->frame().bottom(), table->frame().top());
        tallerThanPlanned = tallerThanPlanned || view->frame().bottom() > 278;
    }
    EXPECT_TRUE(tallerThanPlanned) << "the case no longer has a tall block above the table";
}

}  // namespace
