// The validation sheet and the XML document window, driven as a person would use them.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "platform/FileData.h"
#include "platform/SFLocalizeHelper.h"
#include "ruleweave-ui/RWStatusIcon.h"
#include "ruleweave-ui/RWValidationItem.h"
#include "ruleweave-ui/RWValidationResultWindowController.h"
#include "ruleweave-ui/RWXMLDocumentWindowController.h"
#include "ruleweave-ui/RWXMLSourceText.h"
#include "ruleweave-ui/RWXMLTextView.h"
#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;
using namespace ruleweave;
using namespace ruleweave::ui;

namespace {

const fs::path kCorpus = LEDGERLENS_CORPUS_DIR;
const fs::path kRules = LEDGERLENS_RULES_DIR;
const fs::path kData = LEDGERLENS_TEST_DATA;
// An XRechnung credit note with two errors (UBL-SR-53 on the seller's second tax scheme,
// BR-CL-01 on the type code) and one information finding, as the official artefacts report.
const fs::path kInvoiceWithErrors =
    kCorpus / "xrechnung/schematron-instances/ubl-cn/ubl-cn-br-de-16-test-code-O-2.xml";
const fs::path kValidInvoice = kCorpus / "en16931-examples/ubl/ubl-tc434-example1.xml";

std::string readText(const fs::path& file) {
    return platform::readFileData(file).value_or(std::string());
}

bool haveCorpusAndRules() { return fs::exists(kInvoiceWithErrors) && fs::is_directory(kRules); }

RWValidationResult validate(const std::string& xml) {
    RWSchematronValidator validator;
    validator.addSchemaDirectory(kRules);
    auto result = validator.validateXMLWithAutoDetection(xml);
    return result.value_or(RWValidationResult{});
}

QTreeWidgetItem* rowWithCode(QTreeWidget* outline, const QString& code) {
    for (int i = 0; i < outline->topLevelItemCount(); ++i)
        if (outline->topLevelItem(i)->text(0).endsWith(QStringLiteral("[%1]").arg(code)))
            return outline->topLevelItem(i);
    return nullptr;
}

void selectRow(QTreeWidget* outline, QTreeWidgetItem* row) {
    outline->clearSelection();
    outline->setCurrentItem(row);
    row->setSelected(true);
}

QColor centre(const QPixmap& pixmap) {
    return pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() / 2);
}

}  // namespace

class RWValidationWindowsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage("en"); }

    // --- the element a location names, found where the parser read it
    void markedTagIsTheElementNotALookalikeOrComment_data();
    void markedTagIsTheElementNotALookalikeOrComment();
    void startTagSurvivesOtherLineEndsAndEncodings();
    void xsdMessageMarksTheNamedElement();

    // --- rows and their texts
    void titleMovesALeadingRuleCodeToTheEnd();
    void statusDotsHaveTheStatusColours();

    // --- the sheet over a real result
    void sheetShowsCountsRuleSetsAndFindings();
    void selectingAFindingMarksItsElement();
    void selectingAnXSDFindingMarksTheElementItNames();
    void copyPutsTheSelectedRowsOnTheClipboard();
    void validResultListsTheRuleSetsWithGreenDots();
    void sheetSpeaksGerman();
    void incompleteRuleSetsAreToldInTheSheet();
    void openSheetIsModalToItsWindowAndGoesWhenClosed();

    // --- the window of a file opened on its own
    void documentWindowValidatesAndOpensTheSheet();
    void documentWindowRefusesWhatItCannotShow();
    void documentWindowWithoutRulesIsNotValidated();
    void documentWindowTakesThePreview();

    void screenshots();
};

void RWValidationWindowsTest::markedTagIsTheElementNotALookalikeOrComment_data() {
    QTest::addColumn<QString>("location");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("tag");  // empty: nothing is found
    const QString invoice = QStringLiteral("/ubl:Invoice[1]");
    // A comment mentioning <cac:PartyName> stands before the seller's party.
    QTest::newRow("party after a comment")
        << invoice + "/cac:AccountingSupplierParty[1]/cac:Party[1]" << 10 << "<cac:Party>";
    // <cac:PartyNameless/> begins like <cac:Party.
    QTest::newRow("party after a lookalike name")
        << invoice + "/cac:AccountingCustomerParty[1]/cac:Party[1]" << 18 << "<cac:Party>";
    QTest::newRow("name inside a one-line party")
        << invoice + "/cac:AccountingCustomerParty[1]/cac:Party[1]/cac:PartyName[1]" << 18
        << "<cac:PartyName>";
    // The second line uses its own prefix, and a comment in the first quotes its tag.
    QTest::newRow("second line with another prefix")
        << invoice + "/cac:InvoiceLine[2]" << 24
        << "<a:InvoiceLine "
           "xmlns:a=\"urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2\">";
    QTest::newRow("child of the second line")
        << invoice + "/cac:InvoiceLine[2]/cbc:ID[1]" << 25 << "<cbc:ID>";
    QTest::newRow("tag over two lines with > in a value")
        << invoice + "/cac:InvoiceLine[2]/cbc:LineExtensionAmount[1]" << 26
        << "<cbc:LineExtensionAmount\n        currencyID=\"EUR\" note=\"a > b\">";
    QTest::newRow("no third line") << invoice + "/cac:InvoiceLine[3]" << 0 << "";
    QTest::newRow("document node") << "/" << 0 << "";
    QTest::newRow("empty location") << "" << 0 << "";
}

void RWValidationWindowsTest::markedTagIsTheElementNotALookalikeOrComment() {
    QFETCH(QString, location);
    QFETCH(int, line);
    QFETCH(QString, tag);
    RWXMLSourceText source(readText(kData / "party-lookalikes.xml"));
    QVERIFY(source.isParsed());
    auto span = source.startTagForLocation(location.toStdString());
    if (tag.isEmpty()) {
        QVERIFY(!span);
        return;
    }
    QVERIFY(span);
    QCOMPARE(source.text().mid(span->start, span->length), tag);
    QCOMPARE(span->line, line);
}

void RWValidationWindowsTest::startTagSurvivesOtherLineEndsAndEncodings() {
    const std::string original = readText(kData / "party-lookalikes.xml");
    const std::string location = "/ubl:Invoice[1]/cac:AccountingCustomerParty[1]/cac:Party[1]";
    // Windows line ends: positions are those of the text as shown, with "\n" line breaks.
    std::string crlf;
    for (char c : original) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // Latin-1 text whose umlauts take one byte in the file and two in UTF-8.
    std::string latin1 = original;
    latin1.replace(latin1.find("UTF-8"), 5, "ISO-8859-1");
    latin1.replace(latin1.find("Seller and buyer"), 16, "Verk\xE4ufer und K\xE4ufer");
    // A byte order mark ahead of the declaration.
    std::string bom = "\xEF\xBB\xBF" + original;
    // UTF-16 without byte order mark: libxml2 knows it by its first bytes.
    std::string utf16 = original;
    utf16.replace(utf16.find("UTF-8"), 5, "UTF-16");
    QStringEncoder encoder(QStringEncoder::Utf16LE);
    QByteArray wide = encoder(QString::fromStdString(utf16));
    utf16.assign(wide.constData(), size_t(wide.size()));
    std::string utf16bom = "\xFF\xFE" + utf16;
    for (const std::string* xml : {&crlf, &latin1, &bom, &utf16, &utf16bom}) {
        RWXMLSourceText source(*xml);
        QVERIFY(source.isParsed());
        QVERIFY(source.text().startsWith("<?xml version"));  // no byte order mark shown
        auto span = source.startTagForLocation(location);
        QVERIFY(span);
        QCOMPARE(source.text().mid(span->start, span->length), QStringLiteral("<cac:Party>"));
        QCOMPARE(span->line, 18);
    }
    RWXMLSourceText latin(latin1);
    QVERIFY(latin.text().contains(QStringLiteral("Verkäufer und Käufer")));
    // Not well-formed: shown as it is, nothing located.
    RWXMLSourceText broken(original.substr(0, original.size() / 2));
    QVERIFY(!broken.isParsed());
    QVERIFY(!broken.text().isEmpty());
    QVERIFY(!broken.startTagForLocation(location));
}

void RWValidationWindowsTest::xsdMessageMarksTheNamedElement() {
    RWXMLSourceText source(readText(kData / "party-lookalikes.xml"));
    // libxml2 numbers an element by the line where its start tag ends (27 here).
    auto amount = source.spanForMessage(
        "line 27: Element '{urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2}"
        "LineExtensionAmount': This element is not expected.");
    QVERIFY(amount);
    QVERIFY(
        source.text().mid(amount->start, amount->length).startsWith("<cbc:LineExtensionAmount"));
    QCOMPARE(amount->line, 26);
    auto line = source.spanForMessage("line 6: Element 'Unknown': missing.");
    QVERIFY(line);
    QCOMPARE(source.text().mid(line->start, line->length),
             QStringLiteral("  <cbc:ID>LOOKALIKE-1</cbc:ID>"));
    QVERIFY(!source.spanForMessage("The document has no line number."));
}

void RWValidationWindowsTest::titleMovesALeadingRuleCodeToTheEnd() {
    QCOMPARE(
        titleForMessage("[BR-CO-10]-Sum of Invoice line net amount = Σ Invoice line net amount."),
        QStringLiteral("Sum of Invoice line net amount = Σ Invoice line net amount. [BR-CO-10]"));
    QCOMPARE(titleForMessage("[BR-DE-18] Skonto\n   text"),
             QStringLiteral("Skonto text [BR-DE-18]"));
    QCOMPARE(titleForMessage("Element 'x': not expected."),
             QStringLiteral("Element 'x': not expected."));

    RWValidationError xsd;
    xsd.type = "xsd";
    xsd.message = "line 3: wrong";
    xsd.location = "";
    RWValidationResult result;
    result.errors.push_back(xsd);
    result.valid = false;
    auto items = validationItemsForResult(result);
    QCOMPARE(items.size(), size_t(1));
    QVERIFY(items[0].children.empty());  // no pattern, rule, assertion, and an empty location
    QCOMPARE(copyTextForItem(items[0]), QStringLiteral("line 3: wrong"));
}

void RWValidationWindowsTest::statusDotsHaveTheStatusColours() {
    const std::pair<int, QColor> expected[] = {{0, QColor("#8e8e93")},
                                               {1, QColor("#34c759")},
                                               {2, QColor("#ff9500")},
                                               {3, QColor("#ff3b30")},
                                               {5, QColor(Qt::white)}};
    for (const auto& [status, colour] : expected) {
        QPixmap dot = statusPixmapForStatus(status, 2.0);
        QCOMPARE(dot.deviceIndependentSize(), QSizeF(10, 10));
        QCOMPARE(centre(dot), colour);
        // The white ring around the coloured disc.
        QCOMPARE(dot.toImage().pixelColor(10, 1), QColor(Qt::white));
    }
}

void RWValidationWindowsTest::sheetShowsCountsRuleSetsAndFindings() {
    if (!haveCorpusAndRules()) QSKIP("corpus or rules missing (../shared)");
    const std::string xml = readText(kInvoiceWithErrors);
    RWValidationResult result = validate(xml);
    QCOMPARE(result.errors.size(), size_t(2));
    RWValidationResultWindowController sheet(result, xml, "code-O-2.xml");
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QCOMPARE(sheet.windowTitle(), QStringLiteral("Validation Results: code-O-2.xml"));
    QVERIFY2(sheet.summaryLabel()->text().startsWith("Found 2 error(s) and 0 warning(s)"),
             qPrintable(sheet.summaryLabel()->text()));
    QVERIFY(sheet.summaryLabel()->text().contains("1 information finding(s)"));
    const QString sets = sheet.schemasLabel()->text();
    QVERIFY2(sets.contains("EN16931-UBL 1.3.16") && sets.contains("XRechnung-UBL 2.5.0"),
             qPrintable(sets));
    QTreeWidget* outline = sheet.outlineView();
    QCOMPARE(outline->topLevelItemCount(), int(result.errors.size() + result.warnings.size()));
    QTreeWidgetItem* sr53 = rowWithCode(outline, "UBL-SR-53");
    QVERIFY(sr53);
    QVERIFY(rowWithCode(outline, "BR-CL-01"));
    QVERIFY(rowWithCode(outline, "BR-DE-TMP-32"));
    QStringList details;
    for (int i = 0; i < sr53->childCount(); ++i) details << sr53->child(i)->text(0);
    QVERIFY2(details.contains("Location: /cn:CreditNote[1]/cac:AccountingSupplierParty[1]/"
                              "cac:Party[1]/cac:PartyTaxScheme[1]"),
             qPrintable(details.join('|')));
    QVERIFY(details.contains("Rule set: EN16931-UBL 1.3.16"));
    // Errors come first, with red dots; the information finding is last.
    QCOMPARE(centre(outline->topLevelItem(0)->icon(0).pixmap(10, 10)), QColor("#ff3b30"));
    QVERIFY(outline->topLevelItem(outline->topLevelItemCount() - 1)
                ->text(0)
                .endsWith("[BR-DE-TMP-32]"));
}

void RWValidationWindowsTest::selectingAFindingMarksItsElement() {
    if (!haveCorpusAndRules()) QSKIP("corpus or rules missing (../shared)");
    const std::string xml = readText(kInvoiceWithErrors);
    RWValidationResultWindowController sheet(validate(xml), xml, "code-O-2.xml");
    sheet.show();
    QTreeWidget* outline = sheet.outlineView();
    RWXMLTextView* view = sheet.xmlTextView();
    QVERIFY(view->isVisible());

    selectRow(outline, rowWithCode(outline, "UBL-SR-53"));
    QVERIFY(view->highlightedSpan());
    QCOMPARE(view->highlightedText(), QStringLiteral("<cac:PartyTaxScheme>"));
    QCOMPARE(view->highlightedSpan()->line, 28);
    QCOMPARE(view->textCursor().selectedText(), QStringLiteral("<cac:PartyTaxScheme>"));
    QCOMPARE(view->textCursor().blockNumber() + 1, 28);
    QCOMPARE(sheet.lineLabel()->text(), QStringLiteral("Line 28"));

    selectRow(outline, rowWithCode(outline, "BR-CL-01"));
    QCOMPARE(view->highlightedText(), QStringLiteral("<cbc:CreditNoteTypeCode>"));
    QCOMPARE(view->highlightedSpan()->line, 9);

    // A detail row leaves the mark where it is.
    QTreeWidgetItem* detail = rowWithCode(outline, "UBL-SR-53")->child(0);
    selectRow(outline, detail);
    QCOMPARE(view->highlightedSpan()->line, 9);
}

void RWValidationWindowsTest::selectingAnXSDFindingMarksTheElementItNames() {
    // The official FatturaPA example that fails its XSD: an element out of place.
    const fs::path file = kCorpus / "fatturapa/official/IT01234567890_FPR02.xml";
    if (!fs::exists(file) || !fs::is_directory(kRules))
        QSKIP("corpus or rules missing (../shared)");
    const std::string xml = readText(file);
    RWValidationResultWindowController sheet(validate(xml), xml, "FPR02.xml");
    QTreeWidget* outline = sheet.outlineView();
    QCOMPARE(outline->topLevelItemCount(), 1);
    QTreeWidgetItem* row = outline->topLevelItem(0);
    QVERIFY2(row->text(0).contains("ContattiTrasmittente"), qPrintable(row->text(0)));
    selectRow(outline, row);
    QCOMPARE(sheet.xmlTextView()->highlightedText(), QStringLiteral("<ContattiTrasmittente/>"));
    QCOMPARE(sheet.xmlTextView()->highlightedSpan()->line, 16);
}

void RWValidationWindowsTest::copyPutsTheSelectedRowsOnTheClipboard() {
    if (!haveCorpusAndRules()) QSKIP("corpus or rules missing (../shared)");
    const std::string xml = readText(kInvoiceWithErrors);
    RWValidationResultWindowController sheet(validate(xml), xml, "code-O-2.xml");
    sheet.show();
    QApplication::setActiveWindow(&sheet);
    QVERIFY(QTest::qWaitForWindowActive(&sheet));
    QTreeWidget* outline = sheet.outlineView();
    QVERIFY(!sheet.copyButton()->isEnabled());
    QVERIFY(!sheet.copySelection());

    QTreeWidgetItem* row = rowWithCode(outline, "BR-CL-01");
    selectRow(outline, row);
    QVERIFY(sheet.copyButton()->isEnabled());
    QApplication::clipboard()->clear();
    outline->setFocus();
    QTest::keySequence(outline, QKeySequence::Copy);
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    QCOMPARE(lines.size(), 1 + row->childCount());
    QCOMPARE(lines[0], row->text(0));
    QCOMPARE(lines[1], QStringLiteral("  Location: /cn:CreditNote[1]/cbc:CreditNoteTypeCode[1]"));
    for (const QString& line : lines.mid(1)) QVERIFY(line.startsWith("  "));

    // A finding and a detail of an earlier one: outline order, the detail unindented.
    QTreeWidgetItem* earlier = rowWithCode(outline, "UBL-SR-53");
    QVERIFY(outline->indexOfTopLevelItem(earlier) < outline->indexOfTopLevelItem(row));
    earlier->child(0)->setSelected(true);
    sheet.copyButton()->click();
    QCOMPARE(QApplication::clipboard()->text(),
             "Location: /cn:CreditNote[1]/cac:AccountingSupplierParty[1]/cac:Party[1]/"
             "cac:PartyTaxScheme[1]\n" +
                 lines.join('\n'));
}

void RWValidationWindowsTest::validResultListsTheRuleSetsWithGreenDots() {
    if (!fs::exists(kValidInvoice) || !fs::is_directory(kRules))
        QSKIP("corpus or rules missing (../shared)");
    const std::string xml = readText(kValidInvoice);
    RWValidationResult result = validate(xml);
    QVERIFY(result.errors.empty());
    QCOMPARE(result.warningCount(), size_t(0));
    RWValidationResultWindowController sheet(result, xml, "example1.xml");
    if (result.informationCount() == 0)
        QCOMPARE(sheet.summaryLabel()->text(),
                 QStringLiteral("Document is valid - No issues found"));
    QTreeWidget* outline = sheet.outlineView();
    if (result.warnings.empty()) {
        QCOMPARE(outline->topLevelItemCount(), int(result.ruleSets.size()));
        QVERIFY(rowWithCode(outline, "x") == nullptr);
        QVERIFY(outline->topLevelItem(0)->text(0).startsWith("Validated with: "));
        QCOMPARE(centre(outline->topLevelItem(0)->icon(0).pixmap(10, 10)), QColor("#34c759"));
    }
}

void RWValidationWindowsTest::sheetSpeaksGerman() {
    if (!haveCorpusAndRules()) QSKIP("corpus or rules missing (../shared)");
    platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage("de");
    const std::string xml = readText(kInvoiceWithErrors);
    RWValidationResultWindowController sheet(validate(xml), xml, "code-O-2.xml");
    QCOMPARE(sheet.windowTitle(), QStringLiteral("Prüfergebnisse: code-O-2.xml"));
    QVERIFY2(sheet.summaryLabel()->text().startsWith("2 Fehler und 0 Warnungen gefunden"),
             qPrintable(sheet.summaryLabel()->text()));
    QCOMPARE(sheet.closeButton()->text(), QStringLiteral("Schließen"));
    QVERIFY(sheet.schemasLabel()->text().startsWith("Regelwerke: "));
}

void RWValidationWindowsTest::incompleteRuleSetsAreToldInTheSheet() {
    RWValidationResult result;
    result.ruleSets.push_back({"EN16931-CII", "1.3.16", "/rules/EN16931-CII.sch", false});
    result.profile = "EN16931";
    result.profileMatch = "exact";
    RWValidationResultWindowController complete(result, "", "a.xml");
    QVERIFY(complete.notesLabel()->isHidden());
    QVERIFY(!complete.xmlTextView()->isVisibleTo(&complete));  // no XML, no pane
    QCOMPARE(complete.schemasLabel()->text(),
             QStringLiteral("Rule sets: EN16931-CII 1.3.16 · Profile: EN16931"));

    result.engineProblems.push_back({"EN16931-CII", "unknown function", 3});
    RWValidationResultWindowController incomplete(result, "", "a.xml");
    QVERIFY(!incomplete.notesLabel()->isHidden());
    QVERIFY(incomplete.notesLabel()->text().startsWith("EN16931-CII: 3 expression(s)"));
}

void RWValidationWindowsTest::openSheetIsModalToItsWindowAndGoesWhenClosed() {
    QWidget window;
    window.show();
    QPointer<RWValidationResultWindowController> sheet =
        RWValidationResultWindowController::openSheet(RWValidationResult{}, "<a/>", "a.xml",
                                                      &window);
    QVERIFY(sheet->isVisible());
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QVERIFY(sheet->xmlTextView()->isVisibleTo(sheet));
    sheet->closeButton()->click();
    QTRY_VERIFY(sheet.isNull());
}

void RWValidationWindowsTest::documentWindowValidatesAndOpensTheSheet() {
    if (!haveCorpusAndRules()) QSKIP("corpus or rules missing (../shared)");
    RWXMLDocumentWindowController window;
    window.setRulesDirectory(kRules);
    QVERIFY(!window.statusButton()->isEnabled());
    // Opened before the window is shown: the sheet waits for its window.
    QVERIFY(!window.openFile(QString::fromStdString(kInvoiceWithErrors.string())));
    QVERIFY(!window.validationResultWindowController()->isVisible());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QStringLiteral("ubl-cn-br-de-16-test-code-O-2.xml"));
    QCOMPARE(window.status(), 3);
    QVERIFY(window.resultsTextView()->toPlainText().contains("<cbc:CreditNoteTypeCode>380"));
    QCOMPARE(centre(window.statusButton()->icon().pixmap(10, 10)), QColor("#ff3b30"));
    QCOMPARE(window.statusButton()->text(), QStringLiteral("2 error(s), 0 warning(s)"));
    // Errors open the sheet at once, modal to this window only.
    auto* sheet = window.validationResultWindowController();
    QTRY_VERIFY(sheet->isVisible());
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QCOMPARE(sheet->parentWidget(), &window);
    QVERIFY(rowWithCode(sheet->outlineView(), "UBL-SR-53"));
    sheet->closeButton()->click();
    QVERIFY(!sheet->isVisible());
    QTest::mouseClick(window.statusButton(), Qt::LeftButton);
    QVERIFY(sheet->isVisible());
    sheet->close();

    // A valid invoice in the same window: green, the sheet stays closed until asked for.
    if (fs::exists(kValidInvoice)) {
        QVERIFY(!window.openFile(QString::fromStdString(kValidInvoice.string())));
        QCOMPARE(window.status(), 1);
        QCOMPARE(window.statusButton()->text(), QStringLiteral("Valid"));
        QVERIFY(!sheet->isVisible());
        QVERIFY(window.statusButton()->isEnabled());
        window.statusButton()->click();
        QVERIFY(sheet->isVisible());
        QCOMPARE(window.validationResultWindowController(), sheet);
    }
}

void RWValidationWindowsTest::documentWindowRefusesWhatItCannotShow() {
    RWXMLDocumentWindowController window;
    window.setRulesDirectory(kRules);
    QCOMPARE(window.openFile("/nonexistent/invoice.xml"), RWDocumentOpenError::NoSuchFile);
    QCOMPARE(window.openFile(QDir::tempPath()), RWDocumentOpenError::NotAFile);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("invoice.pdf");
    QVERIFY(platform::writeFileAtomically(pdf.toStdString(), "%PDF-1.7\n%%EOF\n"));
    QCOMPARE(window.openFile(pdf), RWDocumentOpenError::PDF);
    QVERIFY(!describeOpenError(RWDocumentOpenError::PDF).isEmpty());
    QCOMPARE(window.status(), 0);
    QVERIFY(!window.validationResult());
}

void RWValidationWindowsTest::documentWindowWithoutRulesIsNotValidated() {
    QTemporaryDir empty;
    RWXMLDocumentWindowController window;
    window.setRulesDirectory(empty.path().toStdString());
    const std::string xml = readText(kData / "party-lookalikes.xml");
    window.showXML(xml, "lookalikes.xml");
    QCOMPARE(window.status(), 0);
    QVERIFY(window.statusButton()->isEnabled());
    QCOMPARE(window.statusButton()->text(), QStringLiteral("Not validated"));
    QCOMPARE(centre(window.statusButton()->icon().pixmap(10, 10)), QColor("#8e8e93"));
    auto* sheet = window.validationResultWindowController();
    QVERIFY(sheet && !sheet->isVisible());
    QCOMPARE(sheet->outlineView()->topLevelItemCount(), 1);
    QCOMPARE(sheet->outlineView()->topLevelItem(0)->text(0),
             QStringLiteral("No validation schemas found for this document type"));
    // A name with quotes, a shell expression and umlauts is just a name.
    QTemporaryDir dir;
    const QString odd = dir.filePath(QStringLiteral("Rechnung für \"Müller\" $(rm -rf x).xml"));
    QVERIFY(QFile::copy(QString::fromStdString((kData / "party-lookalikes.xml").string()), odd));
    QVERIFY(!window.openFile(odd));
    QCOMPARE(window.windowTitle(), QStringLiteral("Rechnung für \"Müller\" $(rm -rf x).xml"));
    QVERIFY(window.resultsTextView()->toPlainText().contains("LOOKALIKE-1"));
    // Not XML at all: the parser's reason is the finding, the text is still shown.
    window.showXML("this is <not xml", "notes.txt");
    QCOMPARE(window.status(), 0);
    QCOMPARE(window.resultsTextView()->toPlainText(), QStringLiteral("this is <not xml"));
}

void RWValidationWindowsTest::documentWindowTakesThePreview() {
    RWXMLDocumentWindowController window;
    QVERIFY(window.previewWidget());
    QPointer<QWidget> placeholder = window.previewWidget();
    auto* preview = new QLabel("rendered invoice");
    window.setPreviewWidget(preview);
    QCOMPARE(window.previewWidget(), preview);
    QCOMPARE(preview->parentWidget(), window.centralWidget());
    QTRY_VERIFY(placeholder.isNull());
}

// Saves the sheet and the document window in English and German into
// $LEDGERLENS_SCREENSHOT_DIR; skipped without it.
void RWValidationWindowsTest::screenshots() {
    const QString folder = qEnvironmentVariable("LEDGERLENS_SCREENSHOT_DIR");
    if (folder.isEmpty()) QSKIP("LEDGERLENS_SCREENSHOT_DIR is not set");
    if (!haveCorpusAndRules()) QSKIP("corpus or rules missing (../shared)");
    QDir().mkpath(folder);
    const std::string xml = readText(kInvoiceWithErrors);
    const RWValidationResult result = validate(xml);
    for (const char* language : {"en", "de"}) {
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(language);
        RWValidationResultWindowController sheet(result, xml, "ubl-cn-br-de-16-test-code-O-2.xml");
        sheet.resize(900, 720);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QTreeWidget* outline = sheet.outlineView();
        outline->expandAll();
        selectRow(outline, rowWithCode(outline, "UBL-SR-53"));
        QVERIFY(
            sheet.grab().save(QStringLiteral("%1/validation-sheet-%2.png").arg(folder, language)));

        RWXMLDocumentWindowController window;
        window.setRulesDirectory(kRules);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.openFile(QString::fromStdString(kInvoiceWithErrors.string())));
        window.validationResultWindowController()->close();
        QTest::qWait(50);  // the bar lays out the button's new text
        QVERIFY(window.grab().save(
            QStringLiteral("%1/xml-document-window-%2.png").arg(folder, language)));
    }
}

QTEST_MAIN(RWValidationWindowsTest)
#include "RWValidationWindowsTest.moc"
