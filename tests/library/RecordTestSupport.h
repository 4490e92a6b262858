#pragma once

#include <memory>
#include <optional>
#include <string>

#include "LibraryTestSupport.h"
#include "library/LLManagedObject.h"
#include "library/LLObjectContext.h"
#include "library/LLValue.h"
#include "platform/Date.h"
#include "platform/Decimal.h"

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
