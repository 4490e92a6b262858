// The MIME types of the desktop integration as the desktop's MIME database sees them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = LEDGERLENS_CORPUS_DIR;

// The package's MIME file in a data folder of its own, ahead of the system's.
class MimeTypeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new QTemporaryDir;
        QDir(folder_->path()).mkpath("mime/packages");
        ASSERT_TRUE(
            QFile::copy(LEDGERLENS_MIME_XML, folder_->filePath("mime/packages/ledgerlens.xml")));
        qputenv("XDG_DATA_DIRS", (folder_->path() + ":/usr/share").toLocal8Bit());
    }
    static void TearDownTestSuite() { delete folder_; }
    static QString typeOf(const fs::path& file) {
        return QMimeDatabase().mimeTypeForFile(QString::fromStdString(file.string())).name();
    }
    static QTemporaryDir* folder_;
};
QTemporaryDir* MimeTypeTest::folder_ = nullptr;

// Qt reads globs and magic but not root elements; invoice XML by its root element is checked
// against the compiled database in check_desktop.py.
TEST_F(MimeTypeTest, PDFKeepsItsSystemType) {
    const fs::path pdf =
        kCorpus / "zugferd/ZUGFeRDv1/correct/Intarsys/ZUGFeRD_1p0_BASIC_Einfach.pdf";
    if (!fs::exists(pdf)) GTEST_SKIP() << "corpus missing: " << pdf;
    EXPECT_EQ(typeOf(pdf).toStdString(), "application/pdf");
}

TEST_F(MimeTypeTest, LibrariesAndOtherXMLKeepTheirTypes) {
    QTemporaryDir dir;
    QFile library(dir.filePath("Invoices 2026.ledgerlens"));
    ASSERT_TRUE(library.open(QIODevice::WriteOnly));
    library.write(QByteArray("SQLite format 3\0", 16) + QByteArray(84, '\0'));
    library.close();
    EXPECT_EQ(typeOf(library.fileName().toStdString()).toStdString(),
              "application/x-ledgerlens-library");
    QMimeType type = QMimeDatabase().mimeTypeForName("application/x-ledgerlens-library");
    EXPECT_TRUE(type.inherits("application/vnd.sqlite3"));

    QFile notes(dir.filePath("notes.xml"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("<?xml version=\"1.0\"?><Invoice><ID>1</ID></Invoice>");
    notes.close();
    // An element named Invoice outside the UBL namespace is just XML.
    EXPECT_EQ(typeOf(notes.fileName().toStdString()).toStdString(), "application/xml");
}

}  // namespace
