#include "library/LLInvoicesToLLSourceItemTransformer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "library/LLManagedObject.h"
#include "platform/Formatting.h"
#include "platform/SFLocalizeHelper.h"

namespace library {
namespace {

std::string decimalText(long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%ld", value);
    return buffer;
}

std::string monthUID(long year, long month) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%ld-%ld", year, month);
    return buffer;
}

LLInvoicePredicate periodPredicate(const platform::Date& from, const platform::Date& to,
                                   const std::string& timeZone) {
    return LLInvoicePredicate::issuedBetween(LLInstant::startOfDay(from, timeZone),
                                             LLInstant::startOfDay(to, timeZone));
}

struct YearGroup {
    std::shared_ptr<LLSourceItem> item;
    std::array<bool, 13> hasMonth{};
};

}  // namespace

std::vector<std::shared_ptr<LLSourceItem>> LLInvoicesToLLSourceItemTransformer::transformedValue(
    const std::vector<std::shared_ptr<LLInvoiceRecord>>& records) const {
    // The names are the same for every month group: the German "MMMM" names, whatever the
    // user's language.
    std::array<std::string, 13> monthNames;
    for (int month = 1; month <= 12; ++month)
        monthNames[month] = platform::Formatting::monthName(month, "de_DE", false);

    // Invoices share their days, and the calendar lookup is the costly step: once per instant.
    std::unordered_map<std::int64_t, std::pair<int, int>> yearMonthOfInstant;
    std::map<int, YearGroup> years;
    for (const auto& record : records) {
        if (!record) continue;
        const std::optional<LLInstant>& issued = record->dateIssued();
        if (!issued) continue;
        auto [cached, isNew] = yearMonthOfInstant.try_emplace(issued->millis);
        if (isNew) {
            platform::Date day = issued->day(timeZone_);
            cached->second = {day.year, day.month};
        }
        auto [year, month] = cached->second;
        if (month < 1 || month > 12) continue;

        YearGroup& group = years[year];
        if (!group.item) {
            group.item = std::make_shared<LLSourceItem>();
            group.item->name = decimalText(year);
            group.item->uid = group.item->name;
            group.item->predicate = periodPredicate(platform::Date{year, 1, 1},
                                                    platform::Date{year + 1, 1, 1}, timeZone_);
        }
        if (group.hasMonth[month]) continue;
        group.hasMonth[month] = true;
        auto item = std::make_shared<LLSourceItem>();
        item->name = monthNames[month];
        item->uid = monthUID(year, month);
        item->index = month;
        platform::Date next =
            month == 12 ? platform::Date{year + 1, 1, 1} : platform::Date{year, month + 1, 1};
        item->predicate = periodPredicate(platform::Date{year, month, 1}, next, timeZone_);
        group.item->items.push_back(std::move(item));
    }

    auto root = std::make_shared<LLSourceItem>();
    root->name = platform::localizedString("All");
    root->uid = "all";
    root->predicate = LLInvoicePredicate::dated();
    // Newest year first by number, so a year of five digits still sorts after its successors.
    for (auto it = years.rbegin(); it != years.rend(); ++it) {
        auto& months = it->second.item->items;
        std::sort(months.begin(), months.end(),
                  [](const auto& a, const auto& b) { return a->index > b->index; });
        root->items.push_back(std::move(it->second.item));
    }
    return {root};
}

}  // namespace library
