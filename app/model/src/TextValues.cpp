#include "model/TextValues.h"

#include <cctype>

namespace model {
namespace {

constexpr const char* kSpace = " \t\r\n";

}  // namespace

std::string trimmedText(std::string_view text) {
    size_t start = text.find_first_not_of(kSpace);
    if (start == std::string_view::npos) return std::string();
    return std::string(text.substr(start, text.find_last_not_of(kSpace) - start + 1));
}

std::string singleLineText(std::string_view text) {
    std::string line;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !line.empty();
            continue;
        }
        if (blank) line += ' ';
        blank = false;
        line += c;
    }
    return line;
}

std::string withoutSubjectCode(std::string_view note) {
    std::string text = trimmedText(note);
    // "#" + three letters + "#", the UNTDID 4451 subject of the note.
    if (text.size() >= 5 && text[0] == '#' && text[4] == '#' &&
        std::isupper(static_cast<unsigned char>(text[1])) &&
        std::isupper(static_cast<unsigned char>(text[2])) &&
        std::isupper(static_cast<unsigned char>(text[3])))
        return trimmedText(text.substr(5));
    return text;
}

}  // namespace model
