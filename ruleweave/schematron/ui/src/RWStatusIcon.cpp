#include "ruleweave-ui/RWStatusIcon.h"

#include <QPainter>

#include "ruleweave/RWValidationResult.h"

namespace ruleweave::ui {

QPixmap statusPixmapForStatus(int status, qreal devicePixelRatio) {
    constexpr int kSize = 10;
    QPixmap pixmap(QSize(kSize, kSize) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(0, 0, kSize, kSize));
    if (auto color = RWValidationResult::colorForStatus(status)) {
        painter.setBrush(QColor(QString::fromStdString(*color)));
        painter.drawEllipse(QRectF(1, 1, 8, 8));
    }
    return pixmap;
}

QIcon statusIconForStatus(int status) {
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) icon.addPixmap(statusPixmapForStatus(status, ratio));
    return icon;
}

QIcon statusIcon(const RWValidationResult& result) { return statusIconForStatus(result.status()); }

}  // namespace ruleweave::ui
