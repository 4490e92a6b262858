#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/XmlNode.h"

namespace platform {

inline constexpr const char* kXmlErrorDomain = "platform.xml";
enum XmlErrorCode { XmlErrorNotWellFormed = 1, XmlErrorUnsafe = 2, XmlErrorTooLarge = 3 };

// Initialises libxml2 once for the process; runs by itself while the program loads, so that no
// thread can be first. Calling it again is harmless.
void initializeXml();

// An owned libxml2 document parsed from memory. Parsing never loads DTDs or external entities,
// never touches the network and refuses entity expansion bombs.
class XmlDocument {
  public:
    // Bytes beyond this are not an invoice; refusing them early bounds memory.
    static constexpr size_t kMaxInputBytes = 512u * 1024u * 1024u;

    static std::shared_ptr<XmlDocument> parse(std::string_view bytes, Error* error = nullptr,
                                              std::string_view baseURL = {});
    // Takes ownership of a document built elsewhere with libxml2.
    explicit XmlDocument(xmlDocPtr doc) : doc_(doc) {}
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    xmlDocPtr raw() const { return doc_; }
    XmlNode root() const;
    std::string serialize(bool pretty = false) const;

  private:
    xmlDocPtr doc_;
};

}  // namespace platform
