#include <cstdlib>

#include "PagewrightTestSupport.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/Settings.h"

using pagewright::PagewrightPDFDocument;
using pagewright::PagewrightPDFDocumentAttachment;

namespace {

// A one-page PDF whose embedded-files name tree is `tree` (built by the caller).
template <typename Build>
std::string pdfWithNameTree(Build build) {
    QPDF pdf;
    pdf.emptyPDF();
    addTextPage(pdf, "Invoice");
    auto tree = build(pdf);
    auto names = QPDFObjectHandle::newDictionary();
    names.replaceKey("/EmbeddedFiles", tree);
    pdf.getRoot().replaceKey("/Names", names);
    return writeToBytes(pdf);
}

QPDFObjectHandle leaf(QPDF& pdf, std::vector<std::pair<std::string, std::string>> files) {
    auto array = QPDFObjectHandle::newArray();
    for (auto& [name, data] : files) {
        array.appendItem(QPDFObjectHandle::newString(name));
        array.appendItem(fileSpec(pdf, name, data));
    }
    auto node = QPDFObjectHandle::newDictionary();
    node.replaceKey("/Names", array);
    auto limits = QPDFObjectHandle::newArray();
    limits.appendItem(QPDFObjectHandle::newString(files.front().first));
    limits.appendItem(QPDFObjectHandle::newString(files.back().first));
    node.replaceKey("/Limits", limits);
    return pdf.makeIndirectObject(node);
}

std::vector<std::string> names(PagewrightPDFDocument& document) {
    std::vector<std::string> result;
    for (const auto& attachment : document.attachments()) result.push_back(attachment->name);
    return result;
}

}  // namespace

TEST(Attachment, RecordFactoriesAndDescription) {
    auto a = PagewrightPDFDocumentAttachment::attachmentWithDataName("<x/>", "invoice.xml");
    EXPECT_EQ(a->mimeType, "application/octet-stream");
    EXPECT_EQ(a->fileDescription(), "");
    EXPECT_FALSE(a->type);
    EXPECT_EQ(a->description(), "name: invoice.xml length: 4");
    auto b =
        PagewrightPDFDocumentAttachment::attachmentWithDataNameMimeType("x", "a.txt", "text/plain");
    EXPECT_EQ(b->mimeType, "text/plain");
    EXPECT_EQ(PagewrightPDFDocumentAttachment::attachmentWithDataAndName("", "n")->mimeType,
              "application/octet-stream");
}

TEST(Attachment, ReadsFlatNameTreeAndSkipsPairsThatDoNotFit) {
    auto bytes = pdfWithNameTree([](QPDF& pdf) {
        auto array = QPDFObjectHandle::newArray();
        array.appendItem(QPDFObjectHandle::newString("a.xml"));
        array.appendItem(fileSpec(pdf, "a.xml", "<a/>"));
        // A specification without an embedded stream is skipped.
        array.appendItem(QPDFObjectHandle::newString("b.txt"));
        array.appendItem(QPDFObjectHandle::parse("<< /Type /Filespec /F (b.txt) >>"));
        // A value that is not a dictionary is skipped.
        array.appendItem(QPDFObjectHandle::newString("c.txt"));
        array.appendItem(QPDFObjectHandle::newInteger(3));
        array.appendItem(QPDFObjectHandle::newUnicodeString("d\xc3\xbc.xml"));
        array.appendItem(fileSpec(pdf, "d\xc3\xbc.xml", "<d/>"));
        auto node = QPDFObjectHandle::newDictionary();
        node.replaceKey("/Names", array);
        return node;
    });
    auto document = PagewrightPDFDocument::initWithData(bytes);
    ASSERT_TRUE(document);
    EXPECT_EQ(names(*document), (std::vector<std::string>{"a.xml", "d\xc3\xbc.xml"}));
    EXPECT_EQ(document->attachments()[0]->data, "<a/>");
    EXPECT_EQ(document->attachments()[1]->data, "<d/>");
    EXPECT_EQ(document->attachments()[0]->mimeType, "application/octet-stream");
}

TEST(Attachment, ReadsEveryLevelOfANameTreeWithKids) {
    auto bytes = pdfWithNameTree([](QPDF& pdf) {
        auto inner = QPDFObjectHandle::newDictionary();
        auto innerKids = QPDFObjectHandle::newArray();
        innerKids.appendItem(leaf(pdf, {{"b.xml", "<b/>"}, {"c.xml", "<c/>"}}));
        innerKids.appendItem(leaf(pdf, {{"d.pdf", "%PDF-d"}}));
        inner.replaceKey("/Kids", innerKids);
        inner = pdf.makeIndirectObject(inner);
        auto root = QPDFObjectHandle::newDictionary();
        auto kids = QPDFObjectHandle::newArray();
        kids.appendItem(leaf(pdf, {{"a.xml", "<a/>"}}));
        kids.appendItem(inner);
        kids.appendItem(leaf(pdf, {{"factur-x.xml", "<rsm:CrossIndustryInvoice/>"}}));
        root.replaceKey("/Kids", kids);
        return root;
    });
    auto document = PagewrightPDFDocument::initWithData(bytes);
    ASSERT_TRUE(document);
    EXPECT_EQ(names(*document),
              (std::vector<std::string>{"a.xml", "b.xml", "c.xml", "d.pdf", "factur-x.xml"}));
    EXPECT_EQ(document->attachments()[4]->data, "<rsm:CrossIndustryInvoice/>");
    EXPECT_TRUE(document->hasAttachmentNamed("FACTUR"));
}

TEST(Attachment, NameTreeWhoseKidsLoopEndsWithoutHanging) {
    auto bytes = pdfWithNameTree([](QPDF& pdf) {
        auto root = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        auto kids = QPDFObjectHandle::newArray();
        kids.appendItem(leaf(pdf, {{"a.xml", "<a/>"}}));
        kids.appendItem(root);
        root.replaceKey("/Kids", kids);
        return root;
    });
    auto document = PagewrightPDFDocument::initWithData(bytes);
    ASSERT_TRUE(document);
    EXPECT_EQ(names(*document), (std::vector<std::string>{"a.xml"}));
}

TEST(Attachment, PDFWithoutEmbeddedFilesGivesEmptyList) {
    QPDF pdf;
    pdf.emptyPDF();
    addTextPage(pdf, "Nothing attached");
    auto document = PagewrightPDFDocument::initWithData(writeToBytes(pdf));
    ASSERT_TRUE(document);
    EXPECT_TRUE(document->attachments().empty());
    EXPECT_FALSE(document->hasAttachmentNamed("xml"));
    EXPECT_EQ(document->pageCount(), 1);
    EXPECT_TRUE(document->hasText());
}

TEST(Attachment, AddingIsRefusedWhenTheNameIsContainedInAnExistingName) {
    auto document = PagewrightPDFDocument::init();
    EXPECT_FALSE(document->needsOptimize());
    EXPECT_TRUE(document->addAttachment(
        PagewrightPDFDocumentAttachment::attachmentWithDataName("<x/>", "invoice-x.xml")));
    EXPECT_TRUE(document->needsOptimize());
    EXPECT_TRUE(document->hasAttachmentNamed("XML"));
    EXPECT_FALSE(document->hasAttachmentNamed("json"));
    // "x.xml" is a tail of "invoice-x.xml": the substring test refuses it.
    EXPECT_FALSE(document->addAttachment(
        PagewrightPDFDocumentAttachment::attachmentWithDataName("<y/>", "X.XML")));
    EXPECT_TRUE(document->addAttachment(
        PagewrightPDFDocumentAttachment::attachmentWithDataName("png", "scan.png")));
    ASSERT_EQ(document->attachments().size(), 2u);
    auto dictionaries = document->attachmentDictionaries();
    EXPECT_EQ(dictionaries[0].at("name"), "invoice-x.xml");
    EXPECT_EQ(dictionaries[0].at("data"), "<x/>");
    EXPECT_EQ(dictionaries[0].at("mimeType"), "application/octet-stream");
    EXPECT_EQ(dictionaries[0].count("type"), 0u);
}

TEST(Attachment, ConvertsPDFTextStrings) {
    EXPECT_EQ(PagewrightPDFDocument::convertPDFString("plain"), "plain");
    EXPECT_EQ(PagewrightPDFDocument::convertPDFString(std::string("\xfe\xff\x00\xfc\x00x", 6)),
              "\xc3\xbcx");
    // PDFDocEncoding 0x80 is a bullet.
    EXPECT_EQ(PagewrightPDFDocument::convertPDFString("\x80"), "\xe2\x80\xa2");
}

TEST(Attachment, UserDefaultsAreReadOnEveryUse) {
    ScopedSettings settings;
    auto document = PagewrightPDFDocument::init();
    EXPECT_TRUE(document->optimize());
    EXPECT_EQ(document->variant(), 3);
    settings.set("PagewrightDisableOptimize", "true");
    settings.set("PagewrightDisableConvert", "true");
    EXPECT_FALSE(document->optimize());
    EXPECT_EQ(document->variant(), 0);
    settings.set("PagewrightDisableOptimize", "false");
    EXPECT_TRUE(document->optimize());
}

TEST(Attachment, RawDataIsTheCreationBytesOrTheCurrentDocument) {
    QPDF pdf;
    pdf.emptyPDF();
    addTextPage(pdf, "Raw");
    auto bytes = writeToBytes(pdf);
    auto document = PagewrightPDFDocument::initWithData(bytes);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->rawData(), bytes);
    auto empty = PagewrightPDFDocument::init();
    auto written = empty->rawData();
    ASSERT_TRUE(written);
    auto reopened = PagewrightPDFDocument::initWithData(*written);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->pageCount(), 0);
}

TEST(Attachment, UniqueStringsAreUUIDs) {
    auto a = PagewrightPDFDocument::uniqueString(), b = PagewrightPDFDocument::uniqueString();
    EXPECT_EQ(a.size(), 36u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a[14], '4');
}
