#pragma once

#include <QJsonObject>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/SubstitutionDictionary.h"

class QPainter;

namespace layout {

using model::SubstitutionDictionary;

class SFLayoutTableSectionView;
using SectionList = std::vector<std::shared_ptr<SFLayoutTableSectionView>>;

// How a view is being drawn: rules are kept visible on screen, exact in PDFs and print.
struct DrawContext {
    bool toScreen = false;
};

// What decoding needs besides the JSON: the template package for asset files and the
// translation of fixed labels ("{{Invoice No.}}").
struct ArchiveContext {
    QString packageDirectory;
    std::function<QString(const QString&)> translate;
};

// The common root of layout views: a frame in the superview's flipped coordinates (origin top
// left, y downwards), ordered subviews and the class name it was archived under.
class LayoutView {
public:
    explicit LayoutView(std::string className) : className_(std::move(className)) {}
    virtual ~LayoutView() = default;
    LayoutView(const LayoutView&) = delete;
    LayoutView& operator=(const LayoutView&) = delete;

    const std::string& className() const { return className_; }
    bool isFlipped() const { return true; }

    QRectF frame() const { return frame_; }
    virtual void setFrame(const QRectF& frame) { frame_ = frame; }
    QRectF bounds() const { return QRectF(0, 0, frame_.width(), frame_.height()); }

    const std::vector<std::shared_ptr<LayoutView>>& subviews() const { return subviews_; }
    void addSubview(std::shared_ptr<LayoutView> view) { subviews_.push_back(std::move(view)); }
    void removeAllSubviews() { subviews_.clear(); }

    // Fills the view's texts and codes with values; plain views have nothing to fill.
    virtual void substituteValues(const SubstitutionDictionary&) {}

    // Draws this view and its subviews; the painter's origin is the view's top left corner.
    void display(QPainter& painter, const DrawContext& context) const;
    virtual void drawRect(QPainter&, const DrawContext&) const {}
    // Whether subviews are clipped to this view's bounds.
    virtual bool clipsSubviews() const { return false; }

    // Keyed archive of the view as JSON: class name, frame, subviews and the class's fields.
    QJsonObject encode() const;
    // A new view from its archive; none for an unknown class or a malformed entry.
    static std::shared_ptr<LayoutView> decode(const QJsonObject& archive,
                                              const ArchiveContext& context);
    // A deep, independent copy with every archived field, as decoding the view's archive would
    // give it; unarchived fields take their defaults. Copies directly rather than through JSON,
    // since rendering clones one section per invoice line.
    std::shared_ptr<LayoutView> cloneView() const;
    // A new view of an archived class name ("SFLayoutTextView", "CVLayoutTextView", …).
    static std::shared_ptr<LayoutView> makeView(const std::string& className);

protected:
    // Copies the archived fields of `source`, a view of the same class.
    virtual void copyFieldsFrom(const LayoutView&) {}
    virtual void encodeFields(QJsonObject&) const {}
    virtual void decodeFields(const QJsonObject&, const ArchiveContext&) {}

private:
    std::string className_;
    QRectF frame_;
    std::vector<std::shared_ptr<LayoutView>> subviews_;
};

// A deep copy typed as the original's class.
template <class T>
std::shared_ptr<T> clone(const T& view) {
    return std::dynamic_pointer_cast<T>(view.cloneView());
}

}  // namespace layout
