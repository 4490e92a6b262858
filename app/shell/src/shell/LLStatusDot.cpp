#include "shell/LLStatusDot.h"

#include <QPainter>

#include "shell/SFLocalize.h"

namespace shell {

QColor statusDotColor(library::LLValidationStatus status) {
    switch (status) {
        case library::LLValidationStatus::Valid:
            return QColor(52, 199, 89);  // green
        case library::LLValidationStatus::Warnings:
            return QColor(255, 149, 0);  // orange
        case library::LLValidationStatus::Errors:
            return QColor(255, 59, 48);  // red
        default:
            return QColor(142, 142, 147);  // gray
    }
}

QPixmap statusDotPixmap(library::LLValidationStatus status, qreal devicePixelRatio) {
    const int side = qRound(10 * devicePixelRatio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(devicePixelRatio, devicePixelRatio);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(0, 0, 10, 10));
        painter.setBrush(statusDotColor(status));
        painter.drawEllipse(QRectF(1, 1, 8, 8));
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon statusDotIcon(library::LLValidationStatus status) {
    QIcon icon;
    icon.addPixmap(statusDotPixmap(status, 1.0));
    icon.addPixmap(statusDotPixmap(status, 2.0));
    return icon;
}

QString statusDotToolTip(library::LLValidationStatus status) {
    switch (status) {
        case library::LLValidationStatus::Valid:
            return localizedString("Valid");
        case library::LLValidationStatus::Warnings:
            return localizedString("Warnings");
        case library::LLValidationStatus::Errors:
            return localizedString("Errors");
        default:
            return localizedString("Not validated");
    }
}

}  // namespace shell
