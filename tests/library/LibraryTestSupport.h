#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "library/LLDocument.h"
#include "library/LLManagedObject.h"
#include "library/LLObjectContext.h"
#include "library/LLValue.h"
#include "platform/Date.h"
#include "platform/Decimal.h"

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ledgerlens-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::filesystem::path corpusDir() { return LEDGERLENS_CORPUS_DIR; }

#define SKIP_WITHOUT_CORPUS()                        \
    if (!std::filesystem::is_directory(corpusDir())) \
    GTEST_SKIP() << "invoice corpus not found at " << corpusDir()

inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

inline library::LLInstant instant(int year, int month, int day) {
    return library::LLInstant::startOfDay(platform::Date{year, month, day});
}

inline platform::Decimal decimal(const char* text) { return *platform::Decimal::parse(text); }

// An untitled library to put records into.
struct TestLibrary {
    std::shared_ptr<library::LLDocument> document = library::LLDocument::makeUntitled();
    library::LLObjectContext& context() { return document->managedObjectContext(); }

    std::shared_ptr<library::LLInvoiceRecord> add(
        const library::LLInvoiceRecord::Summary& summary) {
        auto record = context().insertInvoice();
        EXPECT_TRUE(record);
        if (record) record->setSummary(summary);
        return record;
    }
    std::shared_ptr<library::LLInvoiceRecord> addIssued(std::optional<library::LLInstant> issued,
                                                        std::string seller = "Seller",
                                                        std::string number = "1") {
        library::LLInvoiceRecord::Summary summary;
        summary.dateIssued = issued;
        summary.sellerName = std::move(seller);
        summary.name = std::move(number);
        return add(summary);
    }
};
