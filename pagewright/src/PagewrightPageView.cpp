#include "pagewright/PagewrightPageView.h"

#include <algorithm>
#include <cmath>
#include <qpdf/QUtil.hh>

namespace pagewright {
namespace {

using Matrix = PagewrightPageView::Matrix;

// A × B for row vectors: apply A, then B.
Matrix multiply(const Matrix& A, const Matrix& B) {
    return {A[0] * B[0] + A[1] * B[2],        A[0] * B[1] + A[1] * B[3],
            A[2] * B[0] + A[3] * B[2],        A[2] * B[1] + A[3] * B[3],
            A[4] * B[0] + A[5] * B[2] + B[4], A[4] * B[1] + A[5] * B[3] + B[5]};
}

Matrix translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
Matrix scaling(double s) { return {s, 0, 0, s, 0, 0}; }
// Counter-clockwise by `degrees`, exact for multiples of 90.
Matrix rotation(int degrees) {
    int d = ((degrees % 360) + 360) % 360;
    double c = d == 0 ? 1 : d == 180 ? -1 : d == 90 || d == 270 ? 0 : std::cos(d * M_PI / 180);
    double s = d == 90 ? 1 : d == 270 ? -1 : d == 0 || d == 180 ? 0 : std::sin(d * M_PI / 180);
    return {c, s, -s, c, 0, 0};
}

// Drawing operations applied one after the other to the context, as a drawing API does: each
// new operation acts on coordinates before the ones already applied.
class Context {
  public:
    void apply(const Matrix& op) { ctm_ = multiply(op, ctm_); }
    const Matrix& ctm() const { return ctm_; }

  private:
    Matrix ctm_{1, 0, 0, 1, 0, 0};
};

}  // namespace

PagewrightPageView::PagewrightPageView(PagewrightRect frame, PagewrightRect pageMediaBox,
                                       int pageRotation, bool allowRotation, bool allowScaling)
    : frame_(frame),
      mediaBox_(pageMediaBox),
      rotation_(((pageRotation % 360) + 360) % 360 / 90 * 90),
      allowRotation_(allowRotation),
      allowScaling_(allowScaling) {}

PagewrightPageView::Matrix PagewrightPageView::transformation() const {
    const double W = frame_.width, H = frame_.height;
    const double w = mediaBox_.width, h = mediaBox_.height;
    // The page as viewers show it: /Rotate turns it clockwise.
    const bool quarter = rotation_ == 90 || rotation_ == 270;
    const double ew = quarter ? h : w, eh = quarter ? w : h;
    Context context;
    double availableWidth = W, availableHeight = H;
    if (allowRotation_ && ((W > H) != (ew > eh))) {
        context.apply(translation(W / 2, H / 2));
        context.apply(rotation(90));
        context.apply(translation(-H / 2, -W / 2));
        availableWidth = H;
        availableHeight = W;
    }
    double s = 1;
    if (allowScaling_ && ew > 0 && eh > 0) s = std::min(availableWidth / ew, availableHeight / eh);
    context.apply(translation((availableWidth - ew * s) / 2, (availableHeight - eh * s) / 2));
    context.apply(scaling(s));
    if (rotation_ != 0) {
        context.apply(translation(ew / 2, eh / 2));
        context.apply(rotation(-rotation_));
        context.apply(translation(-w / 2, -h / 2));
    }
    context.apply(translation(-mediaBox_.x, -mediaBox_.y));
    return context.ctm();
}

std::string PagewrightPageView::drawRect(const std::string& formName) const {
    auto m = transformation();
    std::string text = "q";
    for (double v : m) text += " " + QUtil::double_to_string(std::abs(v) < 1e-9 ? 0 : v, 6);
    return text + " cm /" + formName + " Do Q\n";
}

}  // namespace pagewright
