#include <gtest/gtest.h>

#include "LayoutTestSupport.h"
#include "layout/CVLayoutSEPAQRCodeView.h"
#include "layout/QREncoder.h"

using namespace layout;

namespace {

model::SubstitutionDictionary payee() {
    return dict({{"qr.bic", std::string("COBADEFFXXX")},
                 {"qr.name", std::string("Lieferant GmbH")},
                 {"qr.iban", std::string("DE89370400440532013000")},
                 {"qr.amount", std::string("EUR119.00")},
                 {"qr.remittance", std::string("RE 2024-17")},
                 // The seller's own fields no longer make a code by themselves.
                 {"sender.iban", std::string("DE00 1234")},
                 {"document.number", std::string("2024-17")}});
}

}  // namespace

TEST(EPCPayload, Version002FromTheInvoicesPaymentValues) {
    CVLayoutSEPAQRCodeView view;
    view.substituteValues(payee());
    EXPECT_EQ(view.URL(),
              "BCD\n002\n1\nSCT\nCOBADEFFXXX\nLieferant GmbH\nDE89370400440532013000\nEUR119.00\n"
              "\n\nRE 2024-17");
    EXPECT_TRUE(view.drawsCode());

    // Without a BIC the field stays empty; without remittance the payload ends at the amount.
    auto values = payee();
    values.erase("qr.bic");
    values.erase("qr.remittance");
    values["qr.name"] = std::string("Müller \"Bau\"\nGmbH");
    CVLayoutSEPAQRCodeView other;
    other.substituteValues(values);
    EXPECT_EQ(other.URL(), QString::fromUtf8("BCD\n002\n1\nSCT\n\nMüller ″Bau″ GmbH\n"
                                             "DE89370400440532013000\nEUR119.00"));

    // No payment values (a credit note, another currency, no checked IBAN): no code, no badge.
    for (const char* missing : {"qr.iban", "qr.name", "qr.amount"}) {
        auto incomplete = payee();
        incomplete.erase(missing);
        CVLayoutSEPAQRCodeView view;
        view.substituteValues(incomplete);
        EXPECT_EQ(view.URL(), QString()) << missing;
        EXPECT_FALSE(view.drawsCode()) << missing;
        EXPECT_TRUE(view.QRImage().isNull()) << missing;
    }
    CVLayoutSEPAQRCodeView empty;
    EXPECT_FALSE(empty.drawsCode());
}

TEST(QREncoder, ImagesAreCrispBlackAndWhite) {
    EXPECT_TRUE(QREncoder::QRCodeFromString("").isNull());
    EXPECT_FALSE(QREncoder::symbolFromString(QString(8000, 'x')));  // too long for any version

    auto symbol = QREncoder::symbolFromString("BCD\n001");
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol->width, 21);  // version 1
    // Finder pattern at the top left: a dark corner, a light ring inside.
    EXPECT_TRUE(symbol->isDark(0, 0));
    EXPECT_FALSE(symbol->isDark(1, 1));

    QImage p4 = QREncoder::QRCodeFromString("BCD\n001");
    EXPECT_EQ(p4.size(), QSize(84, 84));
    EXPECT_EQ(p4.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(p4.pixelColor(5, 5), QColor(Qt::white));

    QImage grey = QREncoder::imageWithStringAsQRCodeCenterImage("BCD\n001");
    ASSERT_EQ(grey.size(), QSize(84, 84));
    EXPECT_EQ(grey.format(), QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            int value = qGray(grey.pixel(x, y));
            ASSERT_TRUE(value == 0 || value == 255) << x << "," << y;
            // Each module is a sharp 4 × 4 block.
            ASSERT_EQ(value == 0, symbol->isDark(x / 4, y / 4)) << x << "," << y;
        }

    QImage red(2, 1, QImage::Format_RGB32);
    red.setPixelColor(0, 0, QColor(255, 0, 0));    // luminance 0.299: black
    red.setPixelColor(1, 0, QColor(200, 200, 0));  // 0.69: white
    QImage bits = QREncoder::oneBitImage(red);
    EXPECT_EQ(qGray(bits.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(bits.pixel(1, 0)), 255);
}
