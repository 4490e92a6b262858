#include "ruleweave-ui/RWXMLSourceText.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <unicode/ucnv.h>

#include <QRegularExpression>
#include <QStringDecoder>

#include "ruleweave/RWSchematronValidator.h"

namespace ruleweave::ui {
namespace {

bool isValidUTF8(const std::string& bytes) {
    // NUL is valid UTF-8 but never XML text: such bytes are UTF-16 or UTF-32.
    if (bytes.find('\0') != std::string::npos) return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decoder.hasError();
}

// The encoding libxml2 reads the document in (its declaration or byte order mark); empty when
// it cannot tell.
std::string declaredEncoding(const std::string& bytes) {
    // UTF-16 and UTF-32 are known by their first bytes, with or without byte order mark.
    if (bytes.size() >= 4) {
        switch (xmlDetectCharEncoding(reinterpret_cast<const unsigned char*>(bytes.data()), 4)) {
            case XML_CHAR_ENCODING_UTF16LE:
                return "UTF-16LE";
            case XML_CHAR_ENCODING_UTF16BE:
                return "UTF-16BE";
            case XML_CHAR_ENCODING_UCS4LE:
                return "UTF-32LE";
            case XML_CHAR_ENCODING_UCS4BE:
                return "UTF-32BE";
            default:
                break;
        }
    }
    xmlDocPtr doc = xmlReadMemory(bytes.data(), int(bytes.size()), nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    std::string encoding = doc && doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "";
    if (doc) xmlFreeDoc(doc);
    return encoding;
}

// The document's text as UTF-8: unchanged when it is UTF-8 already, else converted from its
// declared encoding; invalid bytes stay as they are (they show as replacement characters).
std::string toUTF8(const std::string& bytes) {
    if (isValidUTF8(bytes)) return bytes;
    std::string encoding = declaredEncoding(bytes);
    if (encoding.empty()) return bytes;
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucnv_convert("UTF-8", encoding.c_str(), nullptr, 0, bytes.data(),
                                  int32_t(bytes.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return bytes;
    std::string out(size_t(length), '\0');
    status = U_ZERO_ERROR;
    ucnv_convert("UTF-8", encoding.c_str(), out.data(), length, bytes.data(), int32_t(bytes.size()),
                 &status);
    return U_FAILURE(status) ? bytes : out;
}

QString withNewlines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

struct ParseState {
    startElementNsSAX2Func buildTree = nullptr;
    std::unordered_map<const _xmlNode*, size_t>* ends = nullptr;
};

// Called by libxml2 once a start tag is read: the tree node has just been made and the reader
// stands on the tag's closing ">" or "/>".
void startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                  const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                  int attributeCount, int defaultedCount, const xmlChar** attributes) {
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    auto* state = static_cast<ParseState*>(parser->_private);
    state->buildTree(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                     defaultedCount, attributes);
    // Elements read from entity replacement text have no place in the document's own text.
    if (parser->inputNr == 1 && parser->node) {
        long offset = xmlByteConsumed(parser);
        if (offset >= 0) state->ends->emplace(parser->node, size_t(offset));
    }
}

std::string qualifiedName(const _xmlNode* node) {
    std::string name = reinterpret_cast<const char*>(node->name);
    if (node->ns && node->ns->prefix)
        name = reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
    return name;
}

}  // namespace

RWXMLSourceText::RWXMLSourceText(const std::string& xml) : utf8_(toUTF8(xml)) {
    if (utf8_.rfind("\xEF\xBB\xBF", 0) == 0) utf8_.erase(0, 3);
    text_ = withNewlines(QString::fromUtf8(utf8_.data(), qsizetype(utf8_.size())));
    if (utf8_.empty() || utf8_.size() > size_t(INT_MAX)) return;

    xmlParserCtxtPtr parser = xmlCreateMemoryParserCtxt(utf8_.data(), int(utf8_.size()));
    if (!parser) return;
    // The text is UTF-8 now, whatever its declaration says. Nothing is loaded from outside,
    // entities are not substituted, and libxml2's limits for hostile documents stay on.
    xmlCtxtUseOptions(
        parser, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC);
    ParseState state{parser->sax->startElementNs, &startTagEnds_};
    parser->_private = &state;
    parser->sax->startElementNs = startElement;
    xmlParseDocument(parser);
    if (parser->wellFormed && parser->myDoc && state.buildTree) {
        doc_ = parser->myDoc;
    } else {
        if (parser->myDoc) xmlFreeDoc(parser->myDoc);
        startTagEnds_.clear();
    }
    parser->myDoc = nullptr;
    xmlFreeParserCtxt(parser);
}

RWXMLSourceText::~RWXMLSourceText() {
    if (doc_) xmlFreeDoc(doc_);
}

RWXMLTextSpan RWXMLSourceText::spanForBytes(size_t begin, size_t end) const {
    QString before = withNewlines(QString::fromUtf8(utf8_.data(), qsizetype(begin)));
    QString inside = withNewlines(QString::fromUtf8(utf8_.data() + begin, qsizetype(end - begin)));
    return {before.size(), inside.size(), int(before.count(QLatin1Char('\n'))) + 1};
}

std::optional<RWXMLTextSpan> RWXMLSourceText::startTagOf(const _xmlNode* element) const {
    auto found = startTagEnds_.find(element);
    if (found == startTagEnds_.end() || found->second >= utf8_.size()) return std::nullopt;
    size_t close = found->second;
    size_t end = utf8_.find('>', close);
    // No "<" can stand inside a start tag (attribute values escape it), so the last one before
    // its end is where the tag begins.
    size_t open = utf8_.rfind('<', close);
    if (end == std::string::npos || open == std::string::npos) return std::nullopt;
    const std::string name = qualifiedName(element);
    if (utf8_.compare(open + 1, name.size(), name) != 0) return std::nullopt;
    return spanForBytes(open, end + 1);
}

std::optional<RWXMLTextSpan> RWXMLSourceText::startTagForLocation(std::string_view location) const {
    if (!doc_ || location.empty() || location == "/") return std::nullopt;
    // Walk down the steps the validator writes, so a path means here what it meant there.
    xmlNodePtr parent = reinterpret_cast<xmlNodePtr>(doc_);
    while (parent) {
        xmlNodePtr next = nullptr;
        for (xmlNodePtr child = parent->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE) continue;
            const std::string path = RWSchematronValidator::getNodePath(child);
            if (location == path) return startTagOf(child);
            if (location.size() > path.size() && location.substr(0, path.size()) == path &&
                location[path.size()] == '/') {
                next = child;
                break;
            }
        }
        parent = next;
    }
    return std::nullopt;
}

std::optional<RWXMLTextSpan> RWXMLSourceText::spanForLine(int line) const {
    if (line < 1) return std::nullopt;
    qsizetype start = 0;
    for (int n = 1; n < line; ++n) {
        start = text_.indexOf(QLatin1Char('\n'), start);
        if (start < 0) return std::nullopt;
        ++start;
    }
    qsizetype end = text_.indexOf(QLatin1Char('\n'), start);
    if (end < 0) end = text_.size();
    return RWXMLTextSpan{start, end - start, line};
}

std::optional<RWXMLTextSpan> RWXMLSourceText::spanForMessage(std::string_view message) const {
    static const QRegularExpression pattern(
        QStringLiteral("^line (\\d+): (?:Element '(?:\\{([^}]*)\\})?([^']+)')?"));
    auto match = pattern.match(QString::fromUtf8(message.data(), qsizetype(message.size())));
    if (!match.hasMatch()) return std::nullopt;
    const int line = match.captured(1).toInt();
    const std::string uri = match.captured(2).toStdString();
    const std::string local = match.captured(3).toStdString();
    // libxml2 numbers an element by the line its start tag ends on; of several such elements
    // on one line the first is meant.
    const _xmlNode* first = nullptr;
    size_t firstEnd = 0;
    for (const auto& [node, end] : startTagEnds_) {
        if (local.empty() || local != reinterpret_cast<const char*>(node->name)) continue;
        const char* href = node->ns ? reinterpret_cast<const char*>(node->ns->href) : "";
        if (uri != href || (first && end > firstEnd)) continue;
        if (spanForBytes(end, end).line != line) continue;
        first = node;
        firstEnd = end;
    }
    if (first)
        if (auto span = startTagOf(first)) return span;
    return spanForLine(line);
}

}  // namespace ruleweave::ui
