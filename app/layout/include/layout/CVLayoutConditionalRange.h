#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace layout {

// One "[…]" stretch of a template text. The stretch disappears when any placeholder in it has
// no value, otherwise only its brackets go.
class CVLayoutConditionalRange {
public:
    QString string;      // the whole scanned text
    int startIndex = 0;  // index of the "["
    int endIndex = 0;    // index just after the matching "]"

    int location() const { return startIndex; }
    int length() const { return endIndex - startIndex; }
    QString subString() const { return string.mid(startIndex, length()); }
    // Keys of the "<key/>" placeholders inside, in order of appearance, nested ranges included.
    QStringList tags() const;
    QString description() const;
};

// The ranges of `text` that hold placeholders, inner ranges before the ranges around them;
// none when the brackets are unbalanced.
std::optional<std::vector<CVLayoutConditionalRange>> scanConditionals(const QString& text);

// One line for the QR code: line breaks become blanks, straight double quotes U+2033, outer
// white space goes.
QString singleLine(const QString& text);

}  // namespace layout
