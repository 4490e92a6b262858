#include "PagewrightTestSupport.h"
#include "pagewright/PagewrightIdentity.h"
#include "pagewright/PagewrightPDFDocument.h"

using pagewright::PagewrightIdentity;
using pagewright::PagewrightPDFDocument;

namespace {

// A private $XDG_DATA_HOME with identities made by the openssl command.
class IdentityStore {
  public:
    IdentityStore() : dir_(scratchDir("identities")) {
        const char* old = std::getenv("XDG_DATA_HOME");
        if (old) old_ = old;
        ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
        fs::create_directories(folder());
    }
    ~IdentityStore() {
        if (old_)
            ::setenv("XDG_DATA_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    fs::path folder() const { return dir_ / "Ledgerlens" / "identities"; }
    // A self-signed RSA certificate with its key as FILE.p12, exported with `password`.
    bool make(const std::string& file, const std::string& subject,
              const std::string& password = "") {
        auto key = dir_ / (file + ".key"), cert = dir_ / (file + ".crt");
        std::string command =
            "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj " + shellQuote(subject) +
            " -keyout " + shellQuote(key) + " -out " + shellQuote(cert) +
            " >/dev/null 2>&1 && openssl pkcs12 -export -inkey " + shellQuote(key) + " -in " +
            shellQuote(cert) + " -passout pass:" + password + " -out " +
            shellQuote(folder() / (file + ".p12")) + " >/dev/null 2>&1";
        return run(command).status == 0;
    }

  private:
    fs::path dir_;
    std::optional<std::string> old_;
};

std::string pdfsig(const std::string& bytes) {
    auto dir = scratchDir("pdfsig");
    writeFile(dir / "signed.pdf", bytes);
    return run("pdfsig " + shellQuote(dir / "signed.pdf") + " 2>&1").output;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(Signing, IdentityIsFoundOnlyByTheExactSubjectSummary) {
    if (!haveTool("openssl")) GTEST_SKIP() << "openssl not installed";
    IdentityStore store;
    ASSERT_TRUE(store.make("a", "/O=Ledgerlens Tests/CN=Test Signer"));
    ASSERT_TRUE(store.make("b", "/O=Only An Organisation"));
    ASSERT_TRUE(store.make("c", "/CN=Locked Signer", "secret"));
    writeFile(store.folder() / "broken.p12", "not a PKCS #12 file");
    auto found = PagewrightPDFDocument::findPDFIdentity("Test Signer");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->subjectSummary(), "Test Signer");
    EXPECT_FALSE(PagewrightPDFDocument::findPDFIdentity("Test"));
    EXPECT_FALSE(PagewrightPDFDocument::findPDFIdentity("test signer"));
    EXPECT_FALSE(PagewrightPDFDocument::findPDFIdentity("Test Signer "));
    // Without a common name the organisation is the summary.
    EXPECT_TRUE(PagewrightPDFDocument::findPDFIdentity("Only An Organisation"));
    // A file that needs a password cannot be used.
    EXPECT_FALSE(PagewrightPDFDocument::findPDFIdentity("Locked Signer"));
}

TEST(Signing, SignedCorpusPDFPassesPdfsigAndKeepsItsInvoice) {
    SKIP_WITHOUT_CORPUS();
    for (const char* tool : {"openssl", "pdfsig", "qpdf", "pdfdetach"})
        if (!haveTool(tool)) GTEST_SKIP() << tool << " not installed";
    ScopedSettings settings;
    IdentityStore store;
    ASSERT_TRUE(store.make("signer", "/O=Ledgerlens Tests/CN=Test Signer"));
    auto identity = PagewrightPDFDocument::findPDFIdentity("Test Signer");
    ASSERT_TRUE(identity);
    auto document = PagewrightPDFDocument::initWithURL(
        corpusDir() / "zugferd/XML-Rechnung/FX/EN16931_Einfach.pdf");
    ASSERT_TRUE(document);
    platform::Error error;
    auto bytes = document->signedDataRepresentation(*identity, &error);
    ASSERT_TRUE(bytes) << error.localizedDescription;
    auto report = pdfsig(*bytes);
    EXPECT_TRUE(contains(report, "Signature Validation: Signature is Valid.")) << report;
    EXPECT_TRUE(contains(report, "Signing Hash Algorithm: SHA-256")) << report;
    EXPECT_TRUE(contains(report, "Total document signed")) << report;
    EXPECT_TRUE(contains(report, "Signer Certificate Common Name: Test Signer")) << report;
    auto dir = scratchDir("signed");
    writeFile(dir / "s.pdf", *bytes);
    EXPECT_EQ(run("qpdf --check " + shellQuote(dir / "s.pdf") + " >/dev/null 2>&1").status, 0);
    // The signed file is the archival rebuild plus an incremental update.
    auto reopened = PagewrightPDFDocument::initWithData(*bytes);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->attachments().size(), 1u);
    EXPECT_TRUE(reopened->attachments()[0]->data == document->attachments()[0]->data);
    OpenedPDF pdf(*bytes);
    EXPECT_NE(pdf.xmp().find("<pdfaid:part>3</pdfaid:part>"), std::string::npos);

    // A changed byte inside the signed range breaks the signature.
    std::string tampered = *bytes;
    auto at = tampered.find("/Producer");
    if (at == std::string::npos) at = tampered.find("/Creator (");
    ASSERT_NE(at, std::string::npos);
    tampered[at + 3] ^= 0x20;
    EXPECT_FALSE(contains(pdfsig(tampered), "Signature is Valid.")) << pdfsig(tampered);
}

TEST(Signing, PlaceholderSignatureFieldReceivesTheSignature) {
    for (const char* tool : {"openssl", "pdfsig"})
        if (!haveTool(tool)) GTEST_SKIP() << tool << " not installed";
    ScopedSettings settings;
    IdentityStore store;
    ASSERT_TRUE(store.make("signer", "/CN=Field Signer"));
    QPDF source;
    source.emptyPDF();
    auto page = addTextPage(source, "Please sign");
    auto annots = QPDFObjectHandle::newArray();
    annots.appendItem(source.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Annot /Subtype /Text /Rect [300 100 500 150] /Contents (Signature) >>")));
    page.replaceKey("/Annots", annots);
    auto document = PagewrightPDFDocument::initWithData(writeToBytes(source));
    auto bytes =
        document->signedDataRepresentation(*PagewrightPDFDocument::findPDFIdentity("Field Signer"));
    ASSERT_TRUE(bytes);
    auto report = pdfsig(*bytes);
    EXPECT_TRUE(contains(report, "Signature Field Name: Signature_0")) << report;
    EXPECT_TRUE(contains(report, "Signature is Valid.")) << report;
    OpenedPDF pdf(*bytes);
    EXPECT_EQ(pdf.fields(), (std::map<std::string, std::string>{{"Signature_0", "/Sig"}}));
}

TEST(Signing, DisableAllRefusesToSign) {
    if (!haveTool("openssl")) GTEST_SKIP() << "openssl not installed";
    ScopedSettings settings;
    IdentityStore store;
    ASSERT_TRUE(store.make("signer", "/CN=Refused Signer"));
    auto identity = PagewrightIdentity::findPDFIdentity("Refused Signer");
    ASSERT_TRUE(identity);
    QPDF source;
    source.emptyPDF();
    addTextPage(source, "No rebuild");
    auto document = PagewrightPDFDocument::initWithData(writeToBytes(source));
    settings.set("PagewrightDisableAll", "true");
    platform::Error error;
    EXPECT_FALSE(document->signedDataRepresentation(*identity, &error));
    EXPECT_EQ(error.code, pagewright::PagewrightErrorSigningFailed);
}
