#include <set>

#include "PagewrightTestSupport.h"
#include "pagewright/PagewrightPDFDocument.h"

using pagewright::PagewrightPDFDocument;

namespace {

// The files pdfdetach saves, by name.
std::map<std::string, std::string> pdfdetachFiles(const fs::path& pdf, const fs::path& dir) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    run("cd " + shellQuote(dir) + " && pdfdetach -saveall " + shellQuote(pdf) + " >/dev/null 2>&1");
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        files[entry.path().filename().string()] = readFile(entry.path());
    return files;
}

}  // namespace

TEST(CorpusAttachments, SameNamesAndBytesAsPdfdetach) {
    SKIP_WITHOUT_CORPUS();
    if (!haveTool("pdfdetach")) GTEST_SKIP() << "pdfdetach (poppler-utils) not installed";
    auto dir = scratchDir("pdfdetach");
    int files = 0, attachments = 0;
    for (const auto& pdf : corpusPDFs()) {
        SCOPED_TRACE(pdf.string());
        auto document = PagewrightPDFDocument::initWithURL(pdf);
        ASSERT_TRUE(document);
        auto expected = pdfdetachFiles(pdf, dir / "out");
        std::map<std::string, std::string> ours;
        for (const auto& attachment : document->attachments())
            ours[attachment->name] = attachment->data;
        EXPECT_EQ(ours.size(), document->attachments().size()) << "duplicate names";
        ASSERT_EQ(ours.size(), expected.size());
        for (const auto& [name, data] : expected) {
            ASSERT_TRUE(ours.count(name)) << name;
            EXPECT_TRUE(ours[name] == data) << name << " differs";
        }
        ++files;
        attachments += static_cast<int>(ours.size());
    }
    EXPECT_GE(files, 40);
    RecordProperty("attachments", attachments);
}

TEST(CorpusAttachments, ToolListsAndExtracts) {
    SKIP_WITHOUT_CORPUS();
    auto pdf = corpusDir() / "zugferd/XML-Rechnung/FX/EN16931_Elektron.pdf";
    auto listed = run(std::string(PAGEWRIGHT_TOOL) + " attachments " + shellQuote(pdf));
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.output.find("factur-x.xml\t15680\tFactur-X/ZUGFeRD-Rechnung\n"),
              std::string::npos)
        << listed.output;
    auto dir = scratchDir("extract");
    auto extracted =
        run(std::string(PAGEWRIGHT_TOOL) + " extract " + shellQuote(pdf) + " " + shellQuote(dir));
    EXPECT_EQ(extracted.status, 0);
    auto document = PagewrightPDFDocument::initWithURL(pdf);
    for (const auto& attachment : document->attachments())
        EXPECT_TRUE(readFile(dir / attachment->name) == attachment->data) << attachment->name;
    // Extracting again never overwrites: the second copies get new names.
    run(std::string(PAGEWRIGHT_TOOL) + " extract " + shellQuote(pdf) + " " + shellQuote(dir));
    EXPECT_TRUE(fs::exists(dir / "factur-x-2.xml"));
    auto bad = run(std::string(PAGEWRIGHT_TOOL) + " attachments /nonexistent.pdf 2>/dev/null");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(run(std::string(PAGEWRIGHT_TOOL) + " frobnicate 2>/dev/null").status, 4);
}

TEST(CorpusAttachments, ExtractKeepsHostileNamesInsideTheFolder) {
    QPDF pdf;
    pdf.emptyPDF();
    addTextPage(pdf, "Hostile");
    auto names = QPDFObjectHandle::newDictionary(), tree = QPDFObjectHandle::newDictionary();
    auto array = QPDFObjectHandle::newArray();
    for (std::string name : {"../../escape.xml", "/tmp/absolute.xml", "..", "a\nb.xml"}) {
        array.appendItem(QPDFObjectHandle::newString(name));
        array.appendItem(fileSpec(pdf, name, "data of " + name));
    }
    tree.replaceKey("/Names", array);
    names.replaceKey("/EmbeddedFiles", tree);
    pdf.getRoot().replaceKey("/Names", names);
    auto root = scratchDir("hostile");
    writeFile(root / "in.pdf", writeToBytes(pdf));
    auto result = run(std::string(PAGEWRIGHT_TOOL) + " extract " + shellQuote(root / "in.pdf") +
                      " " + shellQuote(root / "out"));
    EXPECT_EQ(result.status, 0);
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(root / "out"))
        written.insert(entry.path().filename().string());
    EXPECT_EQ(written,
              (std::set<std::string>{"escape.xml", "absolute.xml", "attachment-3", "a_b.xml"}));
    EXPECT_FALSE(fs::exists(root / "escape.xml"));
    EXPECT_EQ(readFile(root / "out/escape.xml"), "data of ../../escape.xml");
}

TEST(CorpusAttachments, ToolConvertsAndMerges) {
    SKIP_WITHOUT_CORPUS();
    ScopedSettings settings;
    auto dir = scratchDir("tool-convert");
    const std::string tool = PAGEWRIGHT_TOOL;
    auto pdf = corpusDir() / "zugferd/unstructured/RE-E-974-Hetzner_2016-01-19_R0005532486.pdf";
    writeFile(dir / "xrechnung.xml", "<ubl:Invoice xmlns:ubl=\"urn:x\"/>");
    auto converted =
        run(tool + " convert " + shellQuote(pdf) + " -o " + shellQuote(dir / "out.pdf") +
            " --attach " + shellQuote(dir / "xrechnung.xml") + " 2>&1");
    EXPECT_EQ(converted.status, 0) << converted.output;
    auto document = PagewrightPDFDocument::initWithURL(dir / "out.pdf");
    ASSERT_TRUE(document);
    ASSERT_EQ(document->attachments().size(), 1u);
    EXPECT_EQ(document->attachments()[0]->name, "xrechnung.xml");
    OpenedPDF out(readFile(dir / "out.pdf"));
    EXPECT_NE(out.xmp().find("<fx:ConformanceLevel>XRECHNUNG</fx:ConformanceLevel>"),
              std::string::npos);
    // Attaching a second file whose name the first contains is refused and said so.
    auto refused = run(tool + " convert " + shellQuote(dir / "out.pdf") + " -o " +
                       shellQuote(dir / "again.pdf") + " --attach " +
                       shellQuote(dir / "xrechnung.xml") + " 2>&1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("not attached"), std::string::npos) << refused.output;

    auto merged = run(tool + " merge " + shellQuote(pdf) + " " + shellQuote(dir / "out.pdf") +
                      " -o " + shellQuote(dir / "merged.pdf") + " 2>&1");
    EXPECT_EQ(merged.status, 0) << merged.output;
    auto result = PagewrightPDFDocument::initWithURL(dir / "merged.pdf");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->pageCount(), 2);
    EXPECT_EQ(result->attachments().size(), 1u);
    EXPECT_EQ(run(tool + " convert " + shellQuote(pdf) + " 2>/dev/null").status, 4);
    EXPECT_EQ(run(tool + " --help").status, 0);
}
