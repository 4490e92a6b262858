#include "layout/CVLayoutSEPAQRCodeView.h"

#include <QPainter>
#include <QPainterPath>

#include "layout/CVLayoutConditionalRange.h"
#include "layout/QREncoder.h"

namespace layout {
namespace {

std::optional<QString> heldText(const std::optional<SubstitutionDictionary>& values,
                                const char* key) {
    if (!values) return std::nullopt;
    auto found = values->find(key);
    if (found == values->end()) return std::nullopt;
    return QString::fromStdString(model::substitutionText(found->second));
}

QString nonEmpty(const std::optional<QString>& text) { return text ? *text : QString(); }

}  // namespace

void CVLayoutSEPAQRCodeView::substituteValues(const SubstitutionDictionary& values) {
    if (!substitutionValues) {
        substitutionValues = values;
        return;
    }
    for (const auto& [key, value] : values) substitutionValues->insert_or_assign(key, value);
}

QString CVLayoutSEPAQRCodeView::URL() const {
    // The model decides whether a code may be made at all (euros, a positive amount due, a
    // checked IBAN of the payee, a beneficiary name); without its values there is no payload.
    auto iban = heldText(substitutionValues, "qr.iban");
    auto name = heldText(substitutionValues, "qr.name");
    auto amount = heldText(substitutionValues, "qr.amount");
    if (!iban || iban->isEmpty() || !name || name->isEmpty() || !amount || amount->isEmpty())
        return QString();
    // Version 002 lets the BIC be left out inside the EEA.
    QStringList lines{QStringLiteral("BCD"), QStringLiteral("002"), QStringLiteral("1"),
                      QStringLiteral("SCT")};
    lines << nonEmpty(heldText(substitutionValues, "qr.bic")) << singleLine(*name) << *iban
          << *amount << QString() << QString()
          << singleLine(nonEmpty(heldText(substitutionValues, "qr.remittance")));
    // The last filled field ends the payload; no separator follows it.
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines.join(QLatin1Char('\n'));
}

QImage CVLayoutSEPAQRCodeView::QRImage() const {
    const QString payload = URL();
    if (payload.isEmpty()) return QImage();
    return QREncoder::imageWithStringAsQRCodeCenterImage(payload);
}

bool CVLayoutSEPAQRCodeView::drawsCode() const {
    const QString payload = URL();
    return !payload.isEmpty() && QREncoder::symbolFromString(payload).has_value();
}

void CVLayoutSEPAQRCodeView::drawRect(QPainter& painter, const DrawContext&) const {
    const QString payload = URL();
    if (payload.isEmpty()) return;
    auto symbol = QREncoder::symbolFromString(payload);
    if (!symbol) return;
    const QRectF box = bounds();
    const double side = std::min(box.width(), box.height());
    const double module = side / symbol->width;
    const QPointF origin((box.width() - side) / 2, (box.height() - side) / 2);
    // Runs of dark modules in a row become one rectangle: a small, exact vector symbol.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (int row = 0; row < symbol->width; ++row) {
        for (int column = 0; column < symbol->width;) {
            if (!symbol->isDark(column, row)) {
                ++column;
                continue;
            }
            int run = column;
            while (run < symbol->width && symbol->isDark(run, row)) ++run;
            path.addRect(QRectF(origin.x() + column * module, origin.y() + row * module,
                                (run - column) * module, module));
            column = run;
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillPath(path, Qt::black);
    painter.restore();
}

void CVLayoutSEPAQRCodeView::copyFieldsFrom(const LayoutView& view) {
    hideWithoutAccount = static_cast<const CVLayoutSEPAQRCodeView&>(view).hideWithoutAccount;
}

void CVLayoutSEPAQRCodeView::encodeFields(QJsonObject& archive) const {
    if (hideWithoutAccount) archive.insert(QStringLiteral("hideWithoutAccount"), true);
}

void CVLayoutSEPAQRCodeView::decodeFields(const QJsonObject& archive, const ArchiveContext&) {
    hideWithoutAccount = archive.value(QStringLiteral("hideWithoutAccount")).toBool();
}

}  // namespace layout
