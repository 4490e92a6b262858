#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Streams JSON text; values and keys are written in call order. Strings are UTF-8 and escaped.
class JsonWriter {
  public:
    explicit JsonWriter(bool pretty = true) : pretty_(pretty) {}

    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);
    JsonWriter& string(std::string_view value);
    JsonWriter& boolean(bool value);
    JsonWriter& null();
    // A number written as given (the caller guarantees JSON number syntax).
    JsonWriter& rawNumber(std::string_view text);

    const std::string& text() const { return out_; }
    static std::string quote(std::string_view value);

  private:
    void beforeValue();
    void newline();

    bool pretty_;
    std::string out_;
    struct Level {
        bool isObject;
        bool empty = true;
    };
    std::vector<Level> stack_;
    bool afterKey_ = false;
};

}  // namespace platform
