#pragma once

#include <QByteArray>

#include "layout/SFLayoutBaseView.h"

namespace layout {

class SFLayoutTablePreviewView;

// One page of the template: fixed texts and codes plus one table area. An optional backdrop
// PDF (a letterhead) lies under the page when drawBackdrop is on.
class SFLayoutPageView : public SFLayoutBaseView {
public:
    explicit SFLayoutPageView(std::string className = "SFLayoutPageView")
        : SFLayoutBaseView(std::move(className)) {}

    QByteArray pdfData;         // archived
    QByteArray image;           // the backdrop's first page as a one-page PDF; not archived
    bool drawBackdrop = false;  // not archived

    // The first table area among the subviews, or none.
    std::shared_ptr<SFLayoutTablePreviewView> tableView() const;
    std::optional<SectionList> populateItems(const SectionList& sections) override;
    // Makes `image` from `pdfData`: none without data or when the data is not a readable PDF.
    void updateBackdrop();

protected:
    void copyFieldsFrom(const LayoutView& source) override;
    void encodeFields(QJsonObject& archive) const override;
    void decodeFields(const QJsonObject& archive, const ArchiveContext& context) override;
};

}  // namespace layout
