// Names under which embedded files are written, and which of them may be opened.
#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "preview/LLAttachmentFiles.h"

using namespace preview;

TEST(AttachmentFiles, NamesNeverLeaveTheirFolder) {
    struct Case {
        std::string name, safe;
    };
    for (const Case& row : std::vector<Case>{{"factur-x.xml", "factur-x.xml"},
                                             {"../../.bashrc", "_.._.._.bashrc"},
                                             {"/etc/passwd", "_etc_passwd"},
                                             {"..", "attachment"},
                                             {".", "attachment"},
                                             {"", "attachment"},
                                             {".hidden", "_.hidden"},
                                             {"a\nb.pdf", "a_b.pdf"},
                                             {"C:\\x.pdf", "C__x.pdf"}}) {
        EXPECT_EQ(safeAttachmentFileName(row.name), row.safe) << row.name;
    }
}

TEST(AttachmentFiles, OnlyDocumentsAndPicturesOpenInTheDesktopViewer) {
    for (const char* name : {"invoice.pdf", "factur-x.xml", "Scan.JPG", "times.xlsx"}) {
        EXPECT_TRUE(mayOpenAttachment(name)) << name;
    }
    for (const char* name : {"run.desktop", "setup.sh", "tool.exe", "noextension", "page.html",
                             "a.pdf.desktop", "x.svg"}) {
        EXPECT_FALSE(mayOpenAttachment(name)) << name;
    }
}

TEST(AttachmentFiles, CopiesAreWrittenWholeUnderTheSafeName) {
    TemporaryFolder folder;
    LLAttachment attachment{"../evil.pdf", "application/pdf", "",
                            std::make_shared<const std::string>(std::string("%PDF-1.7\0x", 10))};
    platform::Error error;
    auto written = writeAttachmentCopy(attachment, folder.path(), &error);
    ASSERT_TRUE(written) << error.localizedDescription;
    EXPECT_EQ(written->parent_path(), folder.path());
    EXPECT_EQ(written->filename(), "_.._evil.pdf");
    EXPECT_EQ(readFile(*written), *attachment.data);
    // A folder that does not exist: an error, no file.
    EXPECT_FALSE(saveAttachment(attachment, folder / "missing/x.pdf", &error));
    EXPECT_FALSE(error.localizedDescription.empty());
}
