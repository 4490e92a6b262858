#include "layout/CVLayoutConditionalRange.h"

#include <map>

namespace layout {

QStringList CVLayoutConditionalRange::tags() const {
    QStringList found;
    const QString text = subString();
    qsizetype position = 0;
    while (true) {
        qsizetype open = text.indexOf(QLatin1Char('<'), position);
        if (open < 0) break;
        qsizetype close = text.indexOf(QLatin1String("/>"), open);
        // A "<" without "/>" is an ordinary character ("Price < 5"), not a placeholder.
        if (close < 0) break;
        found.append(text.mid(open + 1, close - open - 1));
        position = close;
    }
    return found;
}

QString CVLayoutConditionalRange::description() const {
    return QStringLiteral("<CVLayoutConditionalRange %1-%2> %3")
        .arg(startIndex)
        .arg(endIndex)
        .arg(subString());
}

std::optional<std::vector<CVLayoutConditionalRange>> scanConditionals(const QString& text) {
    std::vector<CVLayoutConditionalRange> result;
    std::map<int, CVLayoutConditionalRange> open;
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('[')) {
            CVLayoutConditionalRange range;
            range.string = text;
            range.startIndex = int(i);
            open[++depth] = range;
        } else if (c == QLatin1Char(']')) {
            auto found = open.find(depth);
            if (found != open.end()) {
                CVLayoutConditionalRange range = found->second;
                open.erase(found);
                range.endIndex = int(i + 1);
                if (!range.tags().isEmpty()) result.push_back(range);
            }
            --depth;
        }
    }
    if (depth != 0) return std::nullopt;
    return result;
}

QString singleLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('"'), QChar(0x2033));
    return line.trimmed();
}

}  // namespace layout
