#pragma once

#include <QImage>
#include <QString>
#include <optional>

#include "layout/SFLayoutBaseView.h"

namespace layout {

// The EPC QR code ("BCD") for paying the invoice by SEPA credit transfer.
class CVLayoutSEPAQRCodeView : public SFLayoutBaseView {
  public:
    explicit CVLayoutSEPAQRCodeView(std::string className = "CVLayoutSEPAQRCodeView")
        : SFLayoutBaseView(std::move(className)) {}

    std::optional<SubstitutionDictionary> substitutionValues;
    // Kept for templates that carry it: a code is drawn only where the invoice allows one.
    bool hideWithoutAccount = false;

    // Holds the values; later calls add to (and replace) the held ones.
    void substituteValues(const SubstitutionDictionary& values) override;
    // The EPC payload (version 002), one field per line; empty when no code may be made.
    QString URL() const;
    QImage QRImage() const;
    // Whether a code is drawn: a payload that exists and encodes.
    bool drawsCode() const;
    // Dark modules as vector squares, the symbol scaled into the bounds.
    void drawRect(QPainter& painter, const DrawContext& context) const override;

  protected:
    void copyFieldsFrom(const LayoutView& source) override;
    void encodeFields(QJsonObject& archive) const override;
    void decodeFields(const QJsonObject& archive, const ArchiveContext& context) override;
};

}  // namespace layout
