#pragma once

#include <QJsonObject>
#include <QString>
#include <memory>

#include "layout/SFLayoutTextView.h"

// A text view of the given width holding `html` (placeholders written as &lt;key/&gt;).
inline std::shared_ptr<layout::SFLayoutTextView> textView(const QString& html, double width = 300) {
    auto view = std::make_shared<layout::SFLayoutTextView>();
    view->setFrame(QRectF(0, 0, width, 20));
    view->setHtml(html);
    return view;
}

inline model::SubstitutionDictionary dict(
    std::initializer_list<std::pair<const std::string, model::SubstitutionValue>> entries) {
    return model::SubstitutionDictionary(entries);
}
