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
    QString payload = QStringLiteral("BCD\n001\n1\nSCT\n");
    payload += nonEmpty(heldText(substitutionValues, "sender.bic")) + QLatin1Char('\n');
    payload += singleLine(nonEmpty(heldText(substitutionValues, "sender.accountName"))) +
               QLatin1Char('\n');
    payload += nonEmpty(heldText(substitutionValues, "sender.iban")) + QLatin1Char('\n');
    auto currency = heldText(substitutionValues, "currency.name");
    auto amount = heldText(substitutionValues, "qrtotal");
    if (currency && amount) payload += *currency + *amount;
    payload += QLatin1Char('\n');
    payload += QLatin1String("\n\n");  // purpose code, structured creditor reference
    QString number = nonEmpty(heldText(substitutionValues, "document.number"));
    if (!number.isEmpty()) payload += number + QLatin1Char('\n');
    return payload;
}

QImage CVLayoutSEPAQRCodeView::QRImage() const {
    return QREncoder::imageWithStringAsQRCodeCenterImage(URL());
}

bool CVLayoutSEPAQRCodeView::drawsCode() const {
    if (hideWithoutAccount && nonEmpty(heldText(substitutionValues, "sender.iban")).isEmpty())
        return false;
    return QREncoder::symbolFromString(URL()).has_value();
}

void CVLayoutSEPAQRCodeView::drawRect(QPainter& painter, const DrawContext&) const {
    if (hideWithoutAccount && nonEmpty(heldText(substitutionValues, "sender.iban")).isEmpty())
        return;
    auto symbol = QREncoder::symbolFromString(URL());
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
