#pragma once

#include <QImage>
#include <QWidget>

class QPropertyAnimation;

namespace preview {

// The payment QR code as a small badge in the bottom right corner of its parent; it grows to
// a scannable size while the mouse rests on it (the pointer is hidden meanwhile, so it does
// not cover the code).
class LLQRView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSmallSide = 32;
    static constexpr int kLargeSide = 128;
    static constexpr int kRightMargin = 20;   // from the parent's right edge to the badge's
    static constexpr int kBottomMargin = 20;  // from the parent's bottom edge
    static constexpr int kAnimationMilliseconds = 200;

    explicit LLQRView(QWidget* parent);

    void setImage(QImage image);
    const QImage& image() const { return image_; }
    bool isGrown() const { return grown_; }

    // The badge's place for the parent's current size, small or grown.
    QRect placement(bool grown) const;
    // Moves to the place for the parent's size (call when the parent resizes).
    void updatePlacement();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void animateTo(bool grown);

    QImage image_;
    bool grown_ = false;
    QPropertyAnimation* animation_;
};

}  // namespace preview
