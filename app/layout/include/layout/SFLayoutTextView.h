#pragma once

#include <QTextDocument>
#include <QTextOption>
#include <memory>

#include "layout/LayoutView.h"

namespace layout {

// A rich-text field of the template: fonts, colours, paragraph styles and lists, with
// "<key/>" placeholders and "[…]" conditional ranges filled by substituteValues().
class SFLayoutTextView : public LayoutView {
  public:
    static constexpr int maximumNumberOfLines = 24;

    explicit SFLayoutTextView(std::string className = "SFLayoutTextView");

    QTextDocument& document() { return *document_; }
    const QTextDocument& document() const { return *document_; }
    void setHtml(const QString& html);
    QString plainText() const;
    void setFrame(const QRectF& frame) override;

    // When set, line breaks inside substituted values become " · " (a one-line sender line).
    bool singleLineValues = false;
    // Tab stops of every paragraph (label and value columns in one text, so a conditional range
    // removes both together).
    QList<QTextOption::Tab> tabStops;
    void applyTabStops();

    // Removes conditional ranges without values, replaces placeholders keeping the attributes of
    // what they replace, trims, cuts after 24 lines and sizes the view to its text.
    void substituteValues(const SubstitutionDictionary& values) override;
    // Replaces every case-insensitive occurrence; an emptied list item loses its bullet.
    void replaceTextWithText(const QString& search, const QString& replacement);
    void trimSpacesAndNewlinesWithAttributes();
    // Lays the text out in the frame's width: the used height in points.
    double usedHeight() const;
    int lineCount() const;

    void drawRect(QPainter& painter, const DrawContext& context) const override;

  protected:
    void copyFieldsFrom(const LayoutView& source) override;
    void encodeFields(QJsonObject& archive) const override;
    void decodeFields(const QJsonObject& archive, const ArchiveContext& context) override;

  private:
    void prepareDocument();
    void replacePlaceholders(const SubstitutionDictionary& values);
    void truncateToMaximumLines();
    // A one-line text that wraps gets smaller type, then loses " · " parts from its end.
    void fitOnOneLine();

    std::unique_ptr<QTextDocument> document_;
};

}  // namespace layout
