#include "platform/XmlEscape.h"

namespace platform {
namespace {

// The length of the well-formed UTF-8 sequence at `i`, 0 when it is not one.
size_t utf8SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xe  ? 3
                    : (lead >> 3) == 0x1e ? 4
                                          : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
    char32_t c = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (byte(i + k) & 0x3f);
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) return 0;
    return length;
}

}  // namespace

std::string escapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        switch (c) {
            case '&':
                out += "&amp;";
                ++i;
                continue;
            case '<':
                out += "&lt;";
                ++i;
                continue;
            case '>':
                out += "&gt;";
                ++i;
                continue;
            case '"':
                out += "&quot;";
                ++i;
                continue;
            default:
                break;
        }
        size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
            ++i;
            continue;
        }
        std::string_view sequence = text.substr(i, length);
        i += length;
        // XML 1.0 has no way to write the other C0 controls, U+FFFE or U+FFFF, not even as
        // character references: they are dropped.
        bool control = length == 1 && static_cast<unsigned char>(c) < 0x20 && c != '\t' &&
                       c != '\n' && c != '\r';
        if (control || sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF") continue;
        out += sequence;
    }
    return out;
}

}  // namespace platform
