#include <sys/resource.h>
#include <zlib.h>

#include <qpdf/QPDFWriter.hh>

#include "PagewrightTestSupport.h"
#include "pagewright/PagewrightPDFDocument.h"

using pagewright::PagewrightPDFDocument;

namespace {

// Deflate data that inflates to `megabytes` MiB of zeros: one fully flushed slice repeated, so
// the test need not compress gigabytes.
std::string zeroBomb(size_t megabytes) {
    z_stream z{};
    deflateInit(&z, 9);
    std::string zeros(1 << 20, '\0'), chunk(1 << 20, '\0');
    auto step = [&](int flush, bool input) {
        z.next_in = reinterpret_cast<Bytef*>(zeros.data());
        z.avail_in = input ? static_cast<uInt>(zeros.size()) : 0;
        z.next_out = reinterpret_cast<Bytef*>(chunk.data());
        z.avail_out = static_cast<uInt>(chunk.size());
        deflate(&z, flush);
        return std::string(chunk.data(), chunk.size() - z.avail_out);
    };
    std::string out = step(Z_FULL_FLUSH, true);
    const std::string slice = step(Z_FULL_FLUSH, true);
    for (size_t i = 2; i < megabytes; ++i) out += slice;
    out += slice;
    std::string tail = step(Z_FINISH, false);
    deflateEnd(&z);
    // The trailer's checksum must cover every slice.
    uLong one = adler32(1L, reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
    uLong sum = one;
    for (size_t i = 1; i < megabytes; ++i) sum = adler32_combine(sum, one, zeros.size());
    tail.resize(tail.size() - 4);
    for (int shift = 24; shift >= 0; shift -= 8) tail += static_cast<char>((sum >> shift) & 0xff);
    return out + tail;
}

long maxResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string pdfWithAttachments(QPDF& pdf) {
    auto names = QPDFObjectHandle::newDictionary();
    auto tree = QPDFObjectHandle::newDictionary();
    auto array = QPDFObjectHandle::newArray();
    array.appendItem(QPDFObjectHandle::newString("bomb.xml"));
    auto bomb = fileSpec(pdf, "bomb.xml", "");
    bomb.getKey("/EF").getKey("/F").replaceStreamData(
        zeroBomb(2048), QPDFObjectHandle::newName("/FlateDecode"), QPDFObjectHandle::newNull());
    array.appendItem(bomb);
    array.appendItem(QPDFObjectHandle::newString("factur-x.xml"));
    array.appendItem(fileSpec(pdf, "factur-x.xml", "<ok/>"));
    tree.replaceKey("/Names", array);
    names.replaceKey("/EmbeddedFiles", tree);
    pdf.getRoot().replaceKey("/Names", names);
    return writeToBytes(pdf);
}

}  // namespace

TEST(BrokenInput, BytesThatAreNotAPDFGiveNoneWithAReason) {
    for (std::string bytes :
         {std::string(), std::string("hello"), std::string("<?xml version=\"1.0\"?><Invoice/>"),
          std::string("%PDF-1.7\n"), std::string("%PDF-1.4\n1 0 obj\n<<")}) {
        platform::Error error;
        EXPECT_FALSE(PagewrightPDFDocument::initWithData(bytes, &error)) << bytes;
        EXPECT_EQ(error.domain, pagewright::PagewrightErrorDomain);
        EXPECT_EQ(error.code, pagewright::PagewrightErrorNotAPDF);
        EXPECT_FALSE(error.localizedDescription.empty());
    }
}

TEST(BrokenInput, UnreadableFileGivesNone) {
    platform::Error error;
    EXPECT_FALSE(PagewrightPDFDocument::initWithURL("/nonexistent/file.pdf", &error));
    EXPECT_EQ(error.code, pagewright::PagewrightErrorUnreadableFile);
    EXPECT_NE(error.localizedDescription.find("/nonexistent/file.pdf"), std::string::npos);
    EXPECT_FALSE(PagewrightPDFDocument::initWithURL(fs::temp_directory_path(), &error));
}

TEST(BrokenInput, EncryptedPDFNeedsItsPasswordButEmptyUserPasswordOpens) {
    QPDF pdf;
    pdf.emptyPDF();
    addTextPage(pdf, "Secret");
    auto names = QPDFObjectHandle::newDictionary(), tree = QPDFObjectHandle::newDictionary();
    auto array = QPDFObjectHandle::newArray();
    array.appendItem(QPDFObjectHandle::newString("factur-x.xml"));
    array.appendItem(fileSpec(pdf, "factur-x.xml", "<inv/>"));
    tree.replaceKey("/Names", array);
    names.replaceKey("/EmbeddedFiles", tree);
    pdf.getRoot().replaceKey("/Names", names);
    for (std::string userPassword : {"secret", ""}) {
        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.setStaticID(true);
        writer.setR6EncryptionParameters(userPassword.c_str(), "owner", true, true, true, true,
                                         true, true, qpdf_r3p_full, true);
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        std::string bytes(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
        platform::Error error;
        auto document = PagewrightPDFDocument::initWithData(bytes, &error);
        if (!userPassword.empty()) {
            EXPECT_FALSE(document);
            EXPECT_EQ(error.code, pagewright::PagewrightErrorEncrypted);
        } else {
            ASSERT_TRUE(document) << error.localizedDescription;
            ASSERT_EQ(document->attachments().size(), 1u);
            EXPECT_EQ(document->attachments()[0]->data, "<inv/>");
        }
    }
}

TEST(BrokenInput, TruncatedCorpusPDFsNeverCrash) {
    SKIP_WITHOUT_CORPUS();
    ScopedSettings settings;
    auto file = corpusDir() / "zugferd/XML-Rechnung/FX/EN16931_Einfach.pdf";
    auto bytes = readFile(file);
    auto whole = PagewrightPDFDocument::initWithData(bytes);
    ASSERT_TRUE(whole);
    ASSERT_EQ(whole->attachments().size(), 1u);
    const auto xml = whole->attachments()[0]->data;
    int opened = 0;
    for (int tenth = 1; tenth < 10; ++tenth) {
        auto document =
            PagewrightPDFDocument::initWithData(bytes.substr(0, bytes.size() * tenth / 10));
        if (!document) continue;
        ++opened;
        // Repairs are not silent.
        ASSERT_TRUE(document->transcript());
        EXPECT_NE(document->transcript()->front().find("damaged and was repaired"),
                  std::string::npos);
        // Whatever qpdf recovers, an attachment is either complete or missing.
        for (const auto& attachment : document->attachments())
            if (attachment->name == "factur-x.xml") {
                EXPECT_EQ(attachment->data, xml);
            }
        document->pageCount();
        document->hasText();
        // The rebuild gives bytes that open again, or none with a reason.
        platform::Error error;
        auto rebuilt = document->dataRepresentation(&error);
        if (rebuilt) {
            EXPECT_TRUE(PagewrightPDFDocument::initWithData(*rebuilt));
        } else {
            EXPECT_FALSE(error.localizedDescription.empty());
        }
    }
    RecordProperty("truncations_opened", opened);
}

TEST(BrokenInput, AttachmentInflatingToGigabytesIsSkippedWithBoundedMemory) {
    QPDF pdf;
    pdf.emptyPDF();
    addTextPage(pdf, "Bomb");
    const auto bytes = pdfWithAttachments(pdf);
    ASSERT_LT(bytes.size(), size_t(8) << 20);
    const long before = maxResidentKiB();
    auto document = PagewrightPDFDocument::initWithData(bytes);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->attachments().size(), 1u);
    EXPECT_EQ(document->attachments()[0]->name, "factur-x.xml");
    ASSERT_TRUE(document->transcript());
    EXPECT_NE(document->transcript()->front().find("bomb.xml"), std::string::npos);
    EXPECT_NE(document->transcript()->front().find("larger than 128 MiB"), std::string::npos)
        << document->transcript()->front();
    // The rebuild carries the readable attachment only.
    ScopedSettings settings;
    auto rebuilt = document->dataRepresentation();
    ASSERT_TRUE(rebuilt);
    auto reopened = PagewrightPDFDocument::initWithData(*rebuilt);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->attachments().size(), 1u);
    EXPECT_EQ(reopened->attachments()[0]->data, "<ok/>");
    // The limit is 128 MiB; the stream would inflate to 2 GiB.
    EXPECT_LT(maxResidentKiB() - before, 400L * 1024);
}
