#include "PagewrightTestSupport.h"
#include "pagewright/PagewrightPDFDocument.h"

using pagewright::PagewrightPDFDocument;

TEST(FontList, KeepsInstalledFontsNamedBeforeTheFirstComma) {
    if (run("fc-list : postscriptname | grep -q LiberationSans-Bold").status != 0)
        GTEST_SKIP() << "fonts-liberation2 not installed";
    auto dir = scratchDir("fonts");
    // ISO Latin 1: the \xe9 of "Caf\xe9" must not break the file.
    writeFile(dir / "fonts.txt",
              "\"LiberationSans-Bold\",12,bold\nDejaVu Sans,10\nNo Such Font,3\nCaf\xe9 Font\n\n");
    auto document = PagewrightPDFDocument::init();
    EXPECT_FALSE(document->fonts());
    document->loadFontList(dir / "fonts.txt");
    ASSERT_TRUE(document->fonts());
    const auto& fonts = *document->fonts();
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0].name, "LiberationSans-Bold");
    EXPECT_EQ(fonts[0].pointSize, 10);
    EXPECT_EQ(fonts[1].name, "DejaVu Sans");
    auto path = PagewrightPDFDocument::getFontPathOfFont(fonts[0]);
    EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_NE(path.find("LiberationSans-Bold"), std::string::npos) << path;
    // A missing list gives an empty font list.
    document->loadFontList(dir / "missing.txt");
    EXPECT_TRUE(document->fonts() && document->fonts()->empty());
}
