// Screenshots of the preview pane for the documentation and for looking at: one invoice with a
// clicked amount highlighted, the payment code badge grown, two invoices selected and a PDF
// invoice with its attachments, in English and German.
// Written only when LEDGERLENS_SCREENSHOT_DIR names a folder.
#include <QDir>
#include <QEnterEvent>
#include <QTest>

#include "PreviewTestSupport.h"
#include "platform/SFLocalizeHelper.h"
#include "preview/LLContentViewController.h"
#include "preview/LLInvoiceDetailsView.h"
#include "preview/LLPDFViewController.h"
#include "preview/LLQRView.h"
#include "preview/LLValueTextField.h"

using namespace preview;

namespace {

void saveScreens(const QString& folder, const std::string& language) {
    platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(language);
    TestLibrary library;
    auto record = library.import(kRenderedCII);
    ASSERT_TRUE(record);
    LLContentViewController pane;
    pane.resize(1280, 800);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    pane.setSelection(library.document, {record});
    LLValueTextField* amount = nullptr;
    for (LLValueTextField* field : pane.detailsView()->fields())
        if (field->value() == "288.79") amount = field;
    ASSERT_TRUE(amount);
    QTest::mouseClick(amount, Qt::LeftButton);
    ASSERT_EQ(pane.pdfView()->highlights().size(), 2u);
    QTest::qWait(50);
    const QString suffix = QString::fromStdString(language) + ".png";
    EXPECT_TRUE(pane.grab().save(folder + "/preview-highlight-" + suffix));

    LLQRView* badge = pane.pdfView()->qrView();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), badge->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(badge, &enter);
    QTest::qWait(LLQRView::kAnimationMilliseconds + 150);
    EXPECT_TRUE(pane.grab().save(folder + "/preview-qr-" + suffix));

    auto other = library.import(kFacturXPDF);
    pane.setSelection(library.document, {record, other});
    EXPECT_TRUE(pane.grab().save(folder + "/preview-several-" + suffix));
    pane.setSelection(library.document, {other});
    EXPECT_TRUE(pane.grab().save(folder + "/preview-pdf-" + suffix));
}

}  // namespace

TEST(PreviewScreenshots, HighlightedAmountAndPaymentCode) {
    const QString folder = qEnvironmentVariable("LEDGERLENS_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "LEDGERLENS_SCREENSHOT_DIR not set";
    SKIP_WITHOUT_CORPUS();
    QDir().mkpath(folder);
    for (const char* language : {"en", "de"}) saveScreens(folder, language);
    platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage("en");
}
