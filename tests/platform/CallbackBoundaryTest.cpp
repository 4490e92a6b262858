// C++ called back from libxml2's C frames: what it throws must end at the boundary.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CallbackBoundary.h"

namespace {

std::vector<std::string> reasons;  // what the boundary was told, in order

// A structured error hook whose body throws on every message.
void throwingErrorHook(void*, xmlErrorPtr) noexcept {
    platform::callbackBoundary([]() -> void { throw std::runtime_error("hook failed"); },
                               [](const char* reason, bool) { reasons.push_back(reason); });
}

// An entity loader whose body throws: the entity is not loaded, the parse goes on to its error.
xmlParserInputPtr throwingLoader(const char*, const char*, xmlParserCtxtPtr) noexcept {
    return platform::callbackBoundary(
        []() -> xmlParserInputPtr { throw std::bad_alloc(); },
        [](const char* reason, bool outOfMemory) -> xmlParserInputPtr {
            reasons.push_back(std::string(reason) + (outOfMemory ? " (bad_alloc)" : ""));
            return nullptr;
        });
}

}  // namespace

TEST(CallbackBoundary, ThrowsInLibxml2HooksEndAsACleanParseError) {
    reasons.clear();
    const std::string broken = "<invoice><unclosed></invoice>";
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    ASSERT_TRUE(context);
    context->sax->serror = throwingErrorHook;
    xmlDocPtr document = xmlCtxtReadMemory(context, broken.data(), int(broken.size()), nullptr,
                                           nullptr, XML_PARSE_NONET);
    // The parser finished and reported the document as broken; the hook's throw ended inside it.
    EXPECT_FALSE(document && context->wellFormed);
    if (document) xmlFreeDoc(document);
    xmlFreeParserCtxt(context);
    ASSERT_FALSE(reasons.empty());
    EXPECT_EQ(reasons.front(), "hook failed");

    reasons.clear();
    xmlExternalEntityLoader previous = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(throwingLoader);
    const std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"part.xml\">]><r>&x;</r>";
    document =
        xmlReadMemory(external.data(), int(external.size()), "memory.xml", nullptr,
                      XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlSetExternalEntityLoader(previous);
    if (document) xmlFreeDoc(document);
    EXPECT_EQ(reasons, (std::vector<std::string>{"out of memory (bad_alloc)"}));
}
