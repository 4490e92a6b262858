#include "preview/LLQRView.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPropertyAnimation>

namespace preview {
namespace {

constexpr int kInset = 4;  // white border around the code, also its quiet zone

}  // namespace

LLQRView::LLQRView(QWidget* parent)
    : QWidget(parent), animation_(new QPropertyAnimation(this, "geometry", this)) {
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(4);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(0, 0, 0, 51));
    setGraphicsEffect(shadow);
    setAttribute(Qt::WA_Hover);
    animation_->setDuration(kAnimationMilliseconds);
    animation_->setEasingCurve(QEasingCurve::InOutQuad);
    setGeometry(placement(false));
}

void LLQRView::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

QRect LLQRView::placement(bool grown) const {
    const int side = grown ? kLargeSide : kSmallSide;
    const QSize container = parentWidget() ? parentWidget()->size() : QSize(side, side);
    return QRect(container.width() - kRightMargin - side, container.height() - kBottomMargin - side,
                 side, side);
}

void LLQRView::updatePlacement() {
    animation_->stop();
    setGeometry(placement(grown_));
}

void LLQRView::animateTo(bool grown) {
    grown_ = grown;
    animation_->stop();
    animation_->setStartValue(geometry());
    animation_->setEndValue(placement(grown));
    animation_->start();
    raise();
}

void LLQRView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(rect(), 4, 4);
    if (image_.isNull()) return;
    // Modules stay sharp at every size of the animation.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect().adjusted(kInset, kInset, -kInset, -kInset), image_);
}

void LLQRView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setCursor(Qt::BlankCursor);
    animateTo(true);
}

void LLQRView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    unsetCursor();
    animateTo(false);
}

}  // namespace preview
