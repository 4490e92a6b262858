#include "layout/LayoutView.h"

#include <QJsonArray>
#include <QPainter>
#include <map>

#include "layout/CVLayoutSEPAQRCodeView.h"
#include "layout/SFLayoutImageView.h"
#include "layout/SFLayoutPageView.h"
#include "layout/SFLayoutTablePreviewView.h"
#include "layout/SFLayoutTableSectionView.h"
#include "layout/SFLayoutTextView.h"
#include "platform/Log.h"

namespace layout {
namespace {

using Factory = std::shared_ptr<LayoutView> (*)(const std::string&);

template <class T>
std::shared_ptr<LayoutView> make(const std::string& name) {
    return std::make_shared<T>(name);
}

// Archived class names; the CV names are the same classes under the names Corvina writes.
const std::map<std::string, Factory, std::less<>>& factories() {
    static const std::map<std::string, Factory, std::less<>> table = {
        {"SFLayoutBaseView", make<SFLayoutBaseView>},
        {"SFLayoutTablePreviewView", make<SFLayoutTablePreviewView>},
        {"CVLayoutTablePreviewView", make<SFLayoutTablePreviewView>},
        {"SFLayoutPageView", make<SFLayoutPageView>},
        {"CVLayoutPageView", make<SFLayoutPageView>},
        {"SFLayoutTableSectionView", make<SFLayoutTableSectionView>},
        {"CVLayoutTableSectionView", make<SFLayoutTableSectionView>},
        {"SFLayoutImageView", make<SFLayoutImageView>},
        {"CVLayoutImageView", make<SFLayoutImageView>},
        {"CVLayoutSEPAQRCodeView", make<CVLayoutSEPAQRCodeView>},
        {"SFLayoutTextView", make<SFLayoutTextView>},
        {"CVLayoutTextView", make<SFLayoutTextView>},
    };
    return table;
}

}  // namespace

void LayoutView::display(QPainter& painter, const DrawContext& context) const {
    painter.save();
    drawRect(painter, context);
    if (clipsSubviews()) painter.setClipRect(bounds(), Qt::IntersectClip);
    for (const auto& subview : subviews_) {
        painter.save();
        painter.translate(subview->frame().topLeft());
        subview->display(painter, context);
        painter.restore();
    }
    painter.restore();
}

QJsonObject LayoutView::encode() const {
    QJsonObject archive;
    archive.insert(QStringLiteral("class"), QString::fromStdString(className_));
    archive.insert(QStringLiteral("frame"),
                   QJsonArray{frame_.x(), frame_.y(), frame_.width(), frame_.height()});
    if (!subviews_.empty()) {
        QJsonArray children;
        for (const auto& subview : subviews_) children.append(subview->encode());
        archive.insert(QStringLiteral("subviews"), children);
    }
    encodeFields(archive);
    return archive;
}

std::shared_ptr<LayoutView> LayoutView::decode(const QJsonObject& archive,
                                               const ArchiveContext& context) {
    std::string name = archive.value(QStringLiteral("class")).toString().toStdString();
    auto factory = factories().find(name);
    if (factory == factories().end()) {
        platform::logLine("Layout template: unknown view class \"" + name + "\" skipped");
        return nullptr;
    }
    std::shared_ptr<LayoutView> view = factory->second(name);
    QJsonArray frame = archive.value(QStringLiteral("frame")).toArray();
    if (frame.size() == 4)
        view->setFrame(QRectF(frame[0].toDouble(), frame[1].toDouble(), frame[2].toDouble(),
                              frame[3].toDouble()));
    for (const QJsonValue& child : archive.value(QStringLiteral("subviews")).toArray())
        if (auto subview = decode(child.toObject(), context)) view->subviews_.push_back(subview);
    view->decodeFields(archive, context);
    return view;
}

std::shared_ptr<LayoutView> LayoutView::makeView(const std::string& className) {
    auto factory = factories().find(className);
    return factory == factories().end() ? nullptr : factory->second(className);
}

std::shared_ptr<LayoutView> LayoutView::cloneView() const {
    std::shared_ptr<LayoutView> copy = makeView(className_);
    if (!copy) return nullptr;
    copy->setFrame(frame_);
    for (const auto& subview : subviews_)
        if (auto child = subview->cloneView()) copy->subviews_.push_back(std::move(child));
    copy->copyFieldsFrom(*this);
    return copy;
}

}  // namespace layout
