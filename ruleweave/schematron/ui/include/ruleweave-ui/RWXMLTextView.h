#pragma once

#include <QPlainTextEdit>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ruleweave-ui/RWXMLSourceText.h"

namespace ruleweave {
struct RWValidationError;
}

namespace ruleweave::ui {

// Read-only view of an XML document with line numbers, which can mark the element a finding
// points at.
class RWXMLTextView : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit RWXMLTextView(QWidget* parent = nullptr);
    ~RWXMLTextView() override;

    void setXML(const std::string& xml);
    bool hasXML() const { return source_ && !source_->text().isEmpty(); }
    const RWXMLSourceText* sourceText() const { return source_.get(); }

    // Selects and marks the start tag of the element at a finding's location (or, for an XSD
    // finding, the element or line its message names) and scrolls it into view. False, with
    // the mark removed, when the finding points at nothing in this text.
    bool highlightFinding(const RWValidationError& finding);
    bool highlightLocation(std::string_view location);
    void clearHighlight();
    std::optional<RWXMLTextSpan> highlightedSpan() const { return highlighted_; }
    QString highlightedText() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class RWLineNumberArea;
    bool highlight(const std::optional<RWXMLTextSpan>& span);
    int lineNumberAreaWidth() const;
    void paintLineNumbers(QPaintEvent* event);

    std::unique_ptr<RWXMLSourceText> source_;
    std::optional<RWXMLTextSpan> highlighted_;
    QWidget* lineNumberArea_ = nullptr;
};

}  // namespace ruleweave::ui
