#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "model/LLInvoice.h"
#include "platform/XmlDocument.h"

// A parsed document kept alive together with the invoice read from it.
struct ReadInvoice {
    std::shared_ptr<platform::XmlDocument> document;
    std::shared_ptr<model::LLInvoice> invoice;
};

inline ReadInvoice readInvoice(const std::string& xml) {
    ReadInvoice result;
    result.document = platform::XmlDocument::parse(xml);
    EXPECT_TRUE(result.document) << xml.substr(0, 200);
    if (result.document)
        result.invoice =
            model::LLInvoiceElement::elementFromXML<model::LLInvoice>(result.document->root());
    return result;
}

inline std::filesystem::path corpusDir() { return LEDGERLENS_CORPUS_DIR; }

inline std::string readCorpusFile(const std::string& relative) {
    std::ifstream in(corpusDir() / relative, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

#define SKIP_WITHOUT_CORPUS()                                                         \
    if (!std::filesystem::is_directory(corpusDir()))                                  \
    GTEST_SKIP() << "invoice corpus not found at " << corpusDir()

inline std::string str(const std::optional<platform::Decimal>& d) {
    return d ? d->toString() : "none";
}
