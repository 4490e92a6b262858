#include "platform/JsonWriter.h"

#include <cstdio>

namespace platform {

std::string JsonWriter::quote(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    out.push_back('"');
    for (unsigned char c : value) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    out.push_back('"');
    return out;
}

void JsonWriter::newline() {
    if (!pretty_) return;
    out_.push_back('\n');
    out_.append(stack_.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (stack_.empty()) return;
    if (!stack_.back().empty) out_.push_back(',');
    stack_.back().empty = false;
    newline();
}

JsonWriter& JsonWriter::beginObject() {
    beforeValue();
    out_.push_back('{');
    stack_.push_back({true});
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    bool wasEmpty = stack_.back().empty;
    stack_.pop_back();
    if (!wasEmpty) newline();
    out_.push_back('}');
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    beforeValue();
    out_.push_back('[');
    stack_.push_back({false});
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    bool wasEmpty = stack_.back().empty;
    stack_.pop_back();
    if (!wasEmpty) newline();
    out_.push_back(']');
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    beforeValue();
    out_ += quote(name);
    out_ += pretty_ ? ": " : ":";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::string(std::string_view value) {
    beforeValue();
    out_ += quote(value);
    return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
    beforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null() {
    beforeValue();
    out_ += "null";
    return *this;
}

JsonWriter& JsonWriter::rawNumber(std::string_view text) {
    beforeValue();
    out_ += text;
    return *this;
}

}  // namespace platform
