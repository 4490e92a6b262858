#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>

#include "LayoutTestSupport.h"
#include "layout/CVLayoutConditionalRange.h"

using namespace layout;

namespace {

QString substituted(const QString& html, const model::SubstitutionDictionary& values) {
    auto view = textView(html);
    view->substituteValues(values);
    return view->plainText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

}  // namespace

TEST(ScanConditionals, NestingOrderTagsAndBalance) {
    auto ranges = scanConditionals("a [x <one/> [y <two/>]] [plain] [<three_uc/>]");
    ASSERT_TRUE(ranges);
    ASSERT_EQ(ranges->size(), 3u);  // the range without a placeholder is not listed
    EXPECT_EQ((*ranges)[0].subString(), "[y <two/>]");  // inner closes first
    EXPECT_EQ((*ranges)[1].subString(), "[x <one/> [y <two/>]]");
    EXPECT_EQ((*ranges)[1].tags(), QStringList({"one", "two"}));
    EXPECT_EQ((*ranges)[1].startIndex, 2);
    EXPECT_EQ((*ranges)[2].tags(), QStringList({"three_uc"}));
    EXPECT_FALSE(scanConditionals("[a <b/>"));
    EXPECT_FALSE(scanConditionals("a <b/>]"));
    EXPECT_TRUE(scanConditionals("")->empty());
    // A "<" that opens no placeholder is text.
    EXPECT_TRUE(scanConditionals("[Price < 5]")->empty());
}

TEST(SingleLine, ForTheQRCodeName) {
    EXPECT_EQ(singleLine(" Müller \"Bau\"\nGmbH \n"), QString::fromUtf8("Müller ″Bau″ GmbH"));
}

TEST(TextSubstitution, ConditionalRangesFollowTheirValues) {
    const QString due = "Invoice[ due &lt;document.due/&gt;].";
    EXPECT_EQ(substituted(due, dict({{"document.due", std::string()}})), "Invoice.");
    EXPECT_EQ(substituted(due, dict({{"document.due", std::string("4/4/24")}})),
              "Invoice due 4/4/24.");
    // Adjacent ranges: only the one with a value stays, without brackets.
    EXPECT_EQ(substituted("[Tel &lt;sender.phonenumber/&gt;][Mail &lt;sender.email/&gt;]",
                          dict({{"sender.email", std::string("a@b.de")}})),
              "Mail a@b.de");
    // Nested: the inner range goes, the outer stays without brackets; a missing value of the
    // outer range removes both.
    EXPECT_EQ(substituted("[A &lt;present/&gt;[ B &lt;missing/&gt;] C]",
                          dict({{"present", std::string("1")}})),
              "A 1 C");
    EXPECT_EQ(substituted("x[A &lt;missing/&gt;[ B &lt;present/&gt;] C]",
                          dict({{"present", std::string("1")}})),
              "x");
    // Unbalanced brackets stay; placeholders are still replaced.
    EXPECT_EQ(substituted("[x &lt;a/&gt;", dict({{"a", std::string("1")}})), "[x 1");
    // "_uc"/"_lc" are ignored for the presence test only.
    EXPECT_EQ(substituted("[&lt;name_uc/&gt;]", dict({{"name", std::string("x")}})), "<name_uc/>");
    // Keys with capitals never count as present in a range, but placeholders find them.
    auto account = dict({{"sender.accountName", std::string("Lieferant")}});
    EXPECT_EQ(substituted("[Holder &lt;sender.accountName/&gt;]", account), "");
    EXPECT_EQ(substituted("Holder &lt;SENDER.ACCOUNTNAME/&gt;", account), "Holder Lieferant");
}

TEST(TextSubstitution, PlaceholdersKeepAttributesAndMissingOnesStay) {
    auto view = textView("Total: <b>&lt;document.cost/&gt;</b> &lt;unknown/&gt; &lt;Cost/&gt;");
    view->substituteValues(
        dict({{"document.cost", std::string("1.234,50")}, {"cost", platform::Decimal(19)}}));
    EXPECT_EQ(view->plainText(), "Total: 1.234,50 <unknown/> 19");
    QTextCursor cursor(&view->document());
    cursor.setPosition(8);  // after the value's first character
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
    cursor.setPosition(3);
    EXPECT_NE(cursor.charFormat().fontWeight(), QFont::Bold);

    // A value holding its own placeholder is inserted once.
    EXPECT_EQ(substituted("&lt;a/&gt;", dict({{"a", std::string("x<a/>")}})), "x<a/>");
    // Multi-line values become paragraphs.
    EXPECT_EQ(substituted("&lt;addr/&gt;", dict({{"addr", std::string("A\nB")}})), "A\nB");
}

TEST(TextSubstitution, TrimmingAndHeight) {
    auto view = textView("<p>&nbsp;</p><p>  &lt;a/&gt;  </p><p></p>");
    view->substituteValues(dict({{"a", std::string("value")}}));
    EXPECT_EQ(view->plainText(), "value");
    const double oneLine = view->frame().height();
    EXPECT_GT(oneLine, 9.0);
    EXPECT_LT(oneLine, 16.0);

    auto empty = textView("[&lt;a/&gt;]");
    empty->substituteValues({});
    EXPECT_EQ(empty->plainText(), "");
    EXPECT_EQ(empty->frame().height(), 1.0);

    auto blanks = textView("<p>&nbsp;&nbsp;</p><p>&nbsp;</p>");
    blanks->substituteValues({});
    EXPECT_EQ(blanks->plainText().size(), 4);  // left as it is
    EXPECT_GT(blanks->frame().height(), oneLine);

    auto twoLines = textView("&lt;a/&gt;");
    twoLines->substituteValues(dict({{"a", std::string("x\ny")}}));
    EXPECT_NEAR(twoLines->frame().height() - 1, 2 * (oneLine - 1), 0.5);
    // Origin and width stay.
    auto placed = textView("x", 123);
    placed->setFrame(QRectF(10, 20, 123, 50));
    placed->substituteValues({});
    EXPECT_EQ(placed->frame().topLeft(), QPointF(10, 20));
    EXPECT_EQ(placed->frame().width(), 123);
}

TEST(TextSubstitution, CutAfterTwentyFourLines) {
    std::string lines;
    for (int i = 1; i <= 30; ++i) lines += "line " + std::to_string(i) + "\n";
    auto view = textView("&lt;a/&gt;");
    view->substituteValues(dict({{"a", lines}}));
    EXPECT_EQ(view->lineCount(), 24);
    QString text = view->plainText();
    EXPECT_TRUE(text.endsWith(QChar(0x2026))) << text.right(20).toStdString();
    EXPECT_TRUE(text.contains("line 24"));
    EXPECT_FALSE(text.contains("line 25"));

    // A long paragraph is cut inside its 24th line and still ends in one line with the ellipsis.
    auto wrapped = textView("&lt;a/&gt;", 80);
    wrapped->substituteValues(dict({{"a", std::string(2000, 'w') + " end"}}));
    EXPECT_LE(wrapped->lineCount(), 24);
    EXPECT_TRUE(wrapped->plainText().endsWith(QChar(0x2026)));

    auto exact = textView("&lt;a/&gt;");
    std::string twentyFour;
    for (int i = 1; i <= 24; ++i) twentyFour += "l" + std::to_string(i) + (i < 24 ? "\n" : "");
    exact->substituteValues(dict({{"a", twentyFour}}));
    EXPECT_FALSE(exact->plainText().contains(QChar(0x2026)));
}

TEST(TextSubstitution, EmptiedListItemLosesItsBullet) {
    auto view = textView(
        "<p>Contact</p><ul><li>[Tel &lt;phone/&gt;]</li><li>[Mail &lt;mail/&gt;]</li></ul>");
    view->substituteValues(dict({{"mail", std::string("a@b.de")}}));
    QTextBlock first = view->document().begin().next();
    QTextBlock second = first.next();
    EXPECT_EQ(first.text(), "");
    EXPECT_EQ(first.textList(), nullptr);
    EXPECT_EQ(second.text(), "Mail a@b.de");
    EXPECT_NE(second.textList(), nullptr);

    // Text before the range inside the item keeps the item in its list.
    auto kept = textView("<ul><li>Phone: [&lt;phone/&gt;]</li></ul>");
    kept->substituteValues({});
    EXPECT_NE(kept->document().begin().textList(), nullptr);
}

// A one-line sender line that would wrap (into the rule under it) gets smaller type first and
// loses whole parts from its end only when that is not enough.
TEST(TextSubstitution, OneLineValuesStayOnOneLine) {
    const QString html = "<span style=\"font-size:6.5pt;\">&lt;sender.formattedaddress/&gt;</span>";
    struct Case {
        const char* address;
        const char* shown;  // nullptr: the whole address
    };
    const Case cases[] = {
        {"Maria Remedios Sanchez Nuñez\nCampo Real, 74\n28023 Torrejón De La Calzada\nSpain",
         nullptr},
        {"Short GmbH\nStraße 1\n12345 Ort", nullptr},
        {"A seller whose name alone takes up nearly the whole line of the window\n"
         "A street with a name that is far too long as well 1234\n12345 Somewhere far away\n"
         "Deutschland",
         "A seller whose name alone takes up nearly the whole line of the window"},
    };
    for (const Case& c : cases) {
        auto view = textView(html, 250);
        view->singleLineValues = true;
        view->substituteValues(dict({{"sender.formattedaddress", std::string(c.address)}}));
        EXPECT_EQ(view->lineCount(), 1) << c.address;
        QString whole = QString::fromUtf8(c.address);
        whole.replace(QLatin1Char('\n'), QStringLiteral(" \u00B7 "));
        EXPECT_EQ(view->plainText(), c.shown ? QString::fromUtf8(c.shown) : whole);
    }
    // Type does not shrink for a text that already fits.
    auto fits = textView(html, 250);
    fits->singleLineValues = true;
    fits->substituteValues(dict({{"sender.formattedaddress", std::string("Short GmbH\nOrt")}}));
    QTextCursor cursor(&fits->document());
    cursor.setPosition(1);
    EXPECT_DOUBLE_EQ(cursor.charFormat().fontPointSize(), 6.5);
}
