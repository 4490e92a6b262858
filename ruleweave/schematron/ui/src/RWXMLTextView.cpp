#include "ruleweave-ui/RWXMLTextView.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>

#include "ruleweave/RWValidationResult.h"

namespace ruleweave::ui {

class RWLineNumberArea : public QWidget {
  public:
    explicit RWLineNumberArea(RWXMLTextView* view) : QWidget(view), view_(view) {}
    QSize sizeHint() const override { return {view_->lineNumberAreaWidth(), 0}; }

  protected:
    void paintEvent(QPaintEvent* event) override { view_->paintLineNumbers(event); }

  private:
    RWXMLTextView* view_;
};

RWXMLTextView::RWXMLTextView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(10);
    setFont(font);
    lineNumberArea_ = new RWLineNumberArea(this);
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this] { setViewportMargins(lineNumberAreaWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy)
            lineNumberArea_->scroll(0, dy);
        else
            lineNumberArea_->update(0, rect.y(), lineNumberArea_->width(), rect.height());
    });
    setViewportMargins(lineNumberAreaWidth(), 0, 0, 0);
}

RWXMLTextView::~RWXMLTextView() = default;

void RWXMLTextView::setXML(const std::string& xml) {
    source_ = std::make_unique<RWXMLSourceText>(xml);
    highlighted_.reset();
    setExtraSelections({});
    setPlainText(source_->text());
}

QString RWXMLTextView::highlightedText() const {
    if (!highlighted_ || !source_) return {};
    return source_->text().mid(highlighted_->start, highlighted_->length);
}

bool RWXMLTextView::highlightLocation(std::string_view location) {
    return highlight(source_ ? source_->startTagForLocation(location) : std::nullopt);
}

bool RWXMLTextView::highlightFinding(const RWValidationError& finding) {
    if (!source_) return highlight(std::nullopt);
    if (finding.location && !finding.location->empty() && *finding.location != "/")
        return highlightLocation(*finding.location);
    if (finding.type == std::optional<std::string>("xsd") && finding.message)
        return highlight(source_->spanForMessage(*finding.message));
    return highlight(std::nullopt);
}

void RWXMLTextView::clearHighlight() { highlight(std::nullopt); }

bool RWXMLTextView::highlight(const std::optional<RWXMLTextSpan>& span) {
    highlighted_ = span;
    if (!span) {
        setExtraSelections({});
        QTextCursor cursor = textCursor();
        cursor.clearSelection();
        setTextCursor(cursor);
        return false;
    }
    QTextCursor cursor(document());
    cursor.setPosition(int(span->start));
    cursor.setPosition(int(span->start + span->length), QTextCursor::KeepAnchor);
    // The mark stays visible while the outline, not this view, has the focus.
    QTextEdit::ExtraSelection mark;
    mark.cursor = cursor;
    mark.format.setBackground(QColor(255, 214, 10, 140));
    setExtraSelections({mark});
    setTextCursor(cursor);
    centerCursor();
    return true;
}

int RWXMLTextView::lineNumberAreaWidth() const {
    int digits = QString::number(qMax(1, blockCount())).size();
    return 12 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void RWXMLTextView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    QRect area = contentsRect();
    lineNumberArea_->setGeometry(area.left(), area.top(), lineNumberAreaWidth(), area.height());
}

void RWXMLTextView::paintLineNumbers(QPaintEvent* event) {
    QPainter painter(lineNumberArea_);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.setFont(font());
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int width = lineNumberArea_->width() - 6;
    while (block.isValid() && top <= event->rect().bottom()) {
        int bottom = top + qRound(blockBoundingRect(block).height());
        if (block.isVisible() && bottom >= event->rect().top())
            painter.drawText(0, top, width, fontMetrics().height(), Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        block = block.next();
        top = bottom;
    }
}

}  // namespace ruleweave::ui
