#include "layout/SFLayoutTextView.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextList>

#include "layout/CVLayoutConditionalRange.h"

namespace layout {
namespace {

// Texts are laid out in points: a 72 dpi device gives the metrics the PDF writer uses, and
// design metrics keep glyph advances free of screen hinting.
QPaintDevice* pointDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(2835);  // 72 dpi
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return &device;
}

const QString kEllipsis = QString(QChar(0x2026));

QString displayText(const model::SubstitutionValue& value, bool singleLineValues) {
    QString text = QString::fromStdString(model::substitutionText(value));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (singleLineValues) {
        QStringList parts = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString& part : parts) part = part.trimmed();
        parts.removeAll(QString());
        text = parts.join(QStringLiteral(" \u00B7 "));
    }
    return text;
}

// The placeholders of a range outside the ranges nested in it: a missing value inside an inner
// range removes only that inner range.
QStringList ownTags(const CVLayoutConditionalRange& range,
                    const std::vector<CVLayoutConditionalRange>& all) {
    CVLayoutConditionalRange masked = range;
    for (const auto& other : all) {
        if (other.startIndex <= range.startIndex || other.endIndex > range.endIndex) continue;
        masked.string.replace(other.startIndex, other.length(),
                              QString(other.length(), QChar(' ')));
    }
    return masked.tags();
}

}  // namespace

SFLayoutTextView::SFLayoutTextView(std::string className)
    : LayoutView(std::move(className)), document_(std::make_unique<QTextDocument>()) {
    document_->setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 9));
    prepareDocument();
}

void SFLayoutTextView::prepareDocument() {
    document_->setDocumentMargin(0);
    document_->setUseDesignMetrics(true);
    document_->documentLayout()->setPaintDevice(pointDevice());
    document_->setTextWidth(frame().width());
}

void SFLayoutTextView::copyFieldsFrom(const LayoutView& view) {
    const auto& source = static_cast<const SFLayoutTextView&>(view);
    document_.reset(source.document_->clone());
    prepareDocument();
    singleLineValues = source.singleLineValues;
    tabStops = source.tabStops;
}

void SFLayoutTextView::setHtml(const QString& html) {
    document_->setHtml(html);
    document_->setTextWidth(frame().width());
}

QString SFLayoutTextView::plainText() const { return document_->toRawText(); }

void SFLayoutTextView::setFrame(const QRectF& rect) {
    LayoutView::setFrame(rect);
    if (document_->textWidth() != rect.width()) document_->setTextWidth(rect.width());
}

void SFLayoutTextView::substituteValues(const SubstitutionDictionary& values) {
    const QString text = plainText();
    if (text.contains(QLatin1Char('[')) && text.contains(QLatin1Char(']'))) {
        auto ranges = scanConditionals(text);
        if (ranges && !ranges->empty()) {
            for (auto range = ranges->rbegin(); range != ranges->rend(); ++range) {
                for (QString tag : ownTags(*range, *ranges)) {
                    tag.remove(QLatin1String("_uc")).remove(QLatin1String("_lc"));
                    auto found = values.find(tag.toLower().toStdString());
                    if (found == values.end() || model::substitutionText(found->second).empty()) {
                        replaceTextWithText(range->subString(), QString());
                        break;
                    }
                }
            }
            for (QChar bracket : {QLatin1Char('['), QLatin1Char(']')}) {
                QString current = plainText();
                for (qsizetype i = current.size() - 1; i >= 0; --i) {
                    if (current.at(i) != bracket) continue;
                    QTextCursor cursor(document_.get());
                    cursor.setPosition(int(i));
                    cursor.setPosition(int(i + 1), QTextCursor::KeepAnchor);
                    cursor.removeSelectedText();
                }
            }
        }
    }
    replacePlaceholders(values);
    trimSpacesAndNewlinesWithAttributes();
    if (singleLineValues) fitOnOneLine();
    truncateToMaximumLines();
    QRectF rect = frame();
    rect.setHeight(document_->isEmpty() ? 1.0 : usedHeight() + 1.0);
    setFrame(rect);
}

void SFLayoutTextView::replacePlaceholders(const SubstitutionDictionary& values) {
    // Placeholders match their keys case-insensitively.
    QHash<QString, const model::SubstitutionValue*> byKey;
    for (const auto& [key, value] : values) {
        QString lower = QString::fromStdString(key).toLower();
        if (!byKey.contains(lower)) byKey.insert(lower, &value);
    }
    QString text = plainText();
    qsizetype position = 0;
    while (true) {
        qsizetype open = text.indexOf(QLatin1Char('<'), position);
        if (open < 0) break;
        qsizetype close = text.indexOf(QLatin1String("/>"), open + 1);
        if (close < 0) break;
        // The placeholder starts at the last "<" before its "/>".
        qsizetype inner = text.lastIndexOf(QLatin1Char('<'), close);
        if (inner > open) open = inner;
        const QString key = text.mid(open + 1, close - open - 1).toLower();
        auto found = byKey.constFind(key);
        if (found == byKey.constEnd()) {
            position = close + 2;
            continue;
        }
        QString value = displayText(**found, singleLineValues);
        QTextCursor cursor(document_.get());
        cursor.setPosition(int(open + 1));
        QTextCharFormat format = cursor.charFormat();  // the first replaced character's
        cursor.setPosition(int(open));
        cursor.setPosition(int(close + 2), QTextCursor::KeepAnchor);
        if (value.isEmpty())
            cursor.removeSelectedText();
        else
            cursor.insertText(value, format);
        QString inserted = value;
        inserted.replace(QLatin1Char('\n'), QChar::ParagraphSeparator);
        text.replace(open, close + 2 - open, inserted);
        // Searching goes on after the value, so a value holding a placeholder stays as it is.
        position = open + inserted.size();
    }
}

void SFLayoutTextView::replaceTextWithText(const QString& search, const QString& replacement) {
    if (search.isEmpty()) return;
    for (int guard = 0; guard < 10000; ++guard) {
        const QString text = plainText();
        qsizetype at = text.indexOf(search, 0, Qt::CaseInsensitive);
        if (at < 0) return;
        QTextBlock block = document_->findBlock(int(at));
        if (QTextList* list = block.textList(); list && at == block.position()) {
            // The list marker is not part of the text here; an item emptied from its start
            // leaves the list so no lone bullet remains.
            list->remove(block);
            QTextCursor cursor(block);
            QTextBlockFormat format = cursor.blockFormat();
            format.setIndent(0);
            format.setObjectIndex(-1);
            cursor.setBlockFormat(format);
        }
        QTextCursor cursor(document_.get());
        cursor.setPosition(int(at));
        cursor.setPosition(int(at + search.size()), QTextCursor::KeepAnchor);
        if (replacement.isEmpty())
            cursor.removeSelectedText();
        else
            cursor.insertText(replacement);
        if (!replacement.isEmpty() && replacement.contains(search, Qt::CaseInsensitive)) return;
    }
}

void SFLayoutTextView::trimSpacesAndNewlinesWithAttributes() {
    const QString text = plainText();
    qsizetype leading = 0;
    while (leading < text.size() && text.at(leading).isSpace()) ++leading;
    if (leading == text.size()) return;  // only blanks: left as they are
    qsizetype trailing = 0;
    while (trailing < text.size() && text.at(text.size() - 1 - trailing).isSpace()) ++trailing;
    if (trailing > 0) {
        QTextCursor cursor(document_.get());
        cursor.setPosition(int(text.size() - trailing));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    if (leading > 0) {
        // Removing leading paragraphs merges into the first block: keep the paragraph style of
        // the text that remains.
        QTextBlock kept = document_->findBlock(int(leading));
        QTextBlockFormat blockFormat = kept.blockFormat();
        QTextList* list = kept.textList();
        QTextCursor cursor(document_.get());
        cursor.setPosition(0);
        cursor.setPosition(int(leading), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        QTextCursor first(document_->begin());
        first.setBlockFormat(blockFormat);
        if (list && !document_->begin().textList()) list->add(document_->begin());
    }
}

double SFLayoutTextView::usedHeight() const {
    // Setting a width lays the whole text out again, even an unchanged one.
    if (document_->textWidth() != frame().width()) document_->setTextWidth(frame().width());
    return document_->documentLayout()->documentSize().height();
}

int SFLayoutTextView::lineCount() const {
    usedHeight();  // lays the text out
    int lines = 0;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next())
        if (block.layout()) lines += block.layout()->lineCount();
    return lines;
}

void SFLayoutTextView::fitOnOneLine() {
    if (document_->blockCount() != 1 || lineCount() <= 1) return;
    // First smaller type, in steps of 5 %, down to what still prints legibly …
    constexpr double kSmallestPoints = 5.0;
    for (int step = 0; step < 20 && lineCount() > 1; ++step) {
        struct Run {
            int start, end;
            QTextCharFormat format;
        };
        std::vector<Run> runs;
        for (QTextBlock::iterator it = document_->begin().begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            const double points = format.fontPointSize() > 0
                                      ? format.fontPointSize()
                                      : document_->defaultFont().pointSizeF();
            if (points * 0.95 < kSmallestPoints) continue;
            format.setFontPointSize(points * 0.95);
            runs.push_back({fragment.position(), fragment.position() + fragment.length(), format});
        }
        if (runs.empty()) break;
        for (const Run& run : runs) {
            QTextCursor cursor(document_.get());
            cursor.setPosition(run.start);
            cursor.setPosition(run.end, QTextCursor::KeepAnchor);
            cursor.setCharFormat(run.format);
        }
    }
    // … then whole parts from the end, so no part is cut in the middle.
    const QString separator = QStringLiteral(" \u00b7 ");
    while (lineCount() > 1) {
        const QString text = plainText();
        const qsizetype at = text.lastIndexOf(separator);
        if (at <= 0) break;
        QTextCursor cursor(document_.get());
        cursor.setPosition(int(at));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
}

void SFLayoutTextView::truncateToMaximumLines() {
    if (lineCount() <= maximumNumberOfLines) return;
    int lines = 0;
    int cut = -1;
    for (QTextBlock block = document_->begin(); block.isValid() && cut < 0; block = block.next()) {
        QTextLayout* textLayout = block.layout();
        for (int i = 0; textLayout && i < textLayout->lineCount(); ++i) {
            if (++lines == maximumNumberOfLines) {
                QTextLine line = textLayout->lineAt(i);
                cut = block.position() + line.textStart() + line.textLength();
                break;
            }
        }
    }
    if (cut < 0) return;
    QTextCursor cursor(document_.get());
    cursor.setPosition(cut);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    // Drop trailing blanks of the last line, then make room for the ellipsis.
    QString text = plainText();
    int end = int(text.size());
    while (end > 0 && text.at(end - 1).isSpace()) --end;
    cursor.setPosition(end);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    QTextCharFormat format = cursor.charFormat();
    cursor.insertText(kEllipsis, format);
    for (int guard = 0; guard < 400 && lineCount() > maximumNumberOfLines; ++guard) {
        int ellipsisAt = int(plainText().size()) - 1;
        if (ellipsisAt <= 0) break;
        QTextCursor remove(document_.get());
        remove.setPosition(ellipsisAt - 1);
        remove.setPosition(ellipsisAt, QTextCursor::KeepAnchor);
        remove.removeSelectedText();
    }
}

void SFLayoutTextView::drawRect(QPainter& painter, const DrawContext&) const {
    if (document_->textWidth() != frame().width()) document_->setTextWidth(frame().width());
    document_->drawContents(&painter);
}

void SFLayoutTextView::applyTabStops() {
    if (tabStops.isEmpty()) return;
    // The text layout scales tab positions from the screen's resolution to the paint device's;
    // the stops are kept in points, so they are handed over in screen units.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double scale = (screen ? screen->logicalDotsPerInchY() : 96.0) / 72.0;
    QList<QTextOption::Tab> scaled;
    for (const QTextOption::Tab& tab : tabStops)
        scaled.append(QTextOption::Tab(tab.position * scale, tab.type, tab.delimiter));
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat format = cursor.blockFormat();
        format.setTabPositions(scaled);
        cursor.setBlockFormat(format);
    }
}

void SFLayoutTextView::encodeFields(QJsonObject& archive) const {
    archive.insert(QStringLiteral("html"), document_->toHtml());
    if (singleLineValues) archive.insert(QStringLiteral("singleLineValues"), true);
    if (!tabStops.isEmpty()) {
        QJsonArray stops;
        for (const QTextOption::Tab& tab : tabStops) {
            const char* alignment = tab.type == QTextOption::RightTab    ? "right"
                                    : tab.type == QTextOption::CenterTab ? "center"
                                                                         : "left";
            stops.append(QJsonObject{{QStringLiteral("position"), tab.position},
                                     {QStringLiteral("alignment"), QLatin1String(alignment)}});
        }
        archive.insert(QStringLiteral("tabStops"), stops);
    }
}

void SFLayoutTextView::decodeFields(const QJsonObject& archive, const ArchiveContext& context) {
    QString html = archive.value(QStringLiteral("html")).toString();
    if (html.isEmpty() && archive.contains(QStringLiteral("text")))
        html = archive.value(QStringLiteral("text")).toString().toHtmlEscaped();
    // Fixed labels "{{Invoice No.}}" are translated once, when the template is read.
    static const QRegularExpression label(QStringLiteral("\\{\\{([^{}]+)\\}\\}"));
    QString translated;
    qsizetype last = 0;
    for (auto match = label.globalMatch(html); match.hasNext();) {
        QRegularExpressionMatch m = match.next();
        translated += html.mid(last, m.capturedStart() - last);
        QString key = m.captured(1);
        translated += (context.translate ? context.translate(key) : key).toHtmlEscaped();
        last = m.capturedEnd();
    }
    translated += html.mid(last);
    setHtml(translated);
    singleLineValues = archive.value(QStringLiteral("singleLineValues")).toBool();
    tabStops.clear();
    for (const QJsonValue& value : archive.value(QStringLiteral("tabStops")).toArray()) {
        QJsonObject stop = value.toObject();
        QString alignment = stop.value(QStringLiteral("alignment")).toString();
        QTextOption::TabType type = alignment == QLatin1String("right")    ? QTextOption::RightTab
                                    : alignment == QLatin1String("center") ? QTextOption::CenterTab
                                                                           : QTextOption::LeftTab;
        tabStops.append(QTextOption::Tab(stop.value(QStringLiteral("position")).toDouble(), type));
    }
    applyTabStops();
}

}  // namespace layout
