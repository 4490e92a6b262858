#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

struct _xmlDoc;
struct _xmlNode;

namespace ruleweave::ui {

// A range of the displayed XML text: start and length in QString positions, the line (from 1)
// on which it starts.
struct RWXMLTextSpan {
    qsizetype start = 0;
    qsizetype length = 0;
    int line = 0;
};

// An XML document as text for display, with the exact place of every element's start tag.
// The places come from the parser while it reads the text, so comments, CDATA sections and
// elements whose names begin alike ("cac:Party", "cac:PartyName") cannot be mistaken for one
// another. Line breaks are shown as "\n" whatever the file uses.
class RWXMLSourceText {
  public:
    explicit RWXMLSourceText(const std::string& xml);
    ~RWXMLSourceText();
    RWXMLSourceText(const RWXMLSourceText&) = delete;
    RWXMLSourceText& operator=(const RWXMLSourceText&) = delete;

    const QString& text() const { return text_; }
    // False when the text is not well-formed XML: it is still shown, but nothing is located.
    bool isParsed() const { return doc_ != nullptr; }

    // The start tag ("<cac:Party ...>") of the element named by a finding's location path
    // (as written by RWSchematronValidator::getNodePath); none for "/", a path that names no
    // element of this text, or an unparsed text.
    std::optional<RWXMLTextSpan> startTagForLocation(std::string_view location) const;
    // For an XSD message ("line 28: Element '{ns}Name': ..."): the start tag of that element
    // ending on that line, else the whole line; none without a line number.
    std::optional<RWXMLTextSpan> spanForMessage(std::string_view message) const;
    // The whole line (from 1) without its line break; none past the end.
    std::optional<RWXMLTextSpan> spanForLine(int line) const;

  private:
    std::optional<RWXMLTextSpan> startTagOf(const _xmlNode* element) const;
    RWXMLTextSpan spanForBytes(size_t begin, size_t end) const;

    std::string utf8_;  // the document as UTF-8 without byte order mark: what is parsed and shown
    QString text_;
    _xmlDoc* doc_ = nullptr;
    // Byte offset of the ">" or "/>" that ends each element's start tag.
    std::unordered_map<const _xmlNode*, size_t> startTagEnds_;
};

}  // namespace ruleweave::ui
