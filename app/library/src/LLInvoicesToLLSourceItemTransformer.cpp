#include "library/LLInvoicesToLLSourceItemTransformer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <map>

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

platform::Date firstOfNextMonth(int year, int month) {
    return month == 12 ? platform::Date{year + 1, 1, 1} : platform::Date{year, month + 1, 1};
}

// The months met so far as ranges of instants, so the calendar (the costly step) is asked
// about each month a few times instead of once per invoice. Grouping by these ranges also
// makes every invoice fall into exactly the group whose predicate takes it.
class MonthRanges {
  public:
    struct Month {
        LLInstant from, to;
        int year = 0, month = 0;
    };

    explicit MonthRanges(const std::string& timeZone) : timeZone_(timeZone) {}

    const Month& monthOf(LLInstant instant) {
        auto next = byStart_.upper_bound(instant.millis);
        if (next != byStart_.begin()) {
            const Month& candidate = std::prev(next)->second;
            if (instant < candidate.to) return candidate;
        }
        platform::Date day = instant.day(timeZone_);
        Month month{LLInstant::startOfDay(platform::Date{day.year, day.month, 1}, timeZone_),
                    LLInstant::startOfDay(firstOfNextMonth(day.year, day.month), timeZone_),
                    day.year, day.month};
        return byStart_.insert_or_assign(month.from.millis, month).first->second;
    }

    LLInvoicePredicate yearPredicate(int year) const {
        return LLInvoicePredicate::issuedBetween(
            LLInstant::startOfDay(platform::Date{year, 1, 1}, timeZone_),
            LLInstant::startOfDay(platform::Date{year + 1, 1, 1}, timeZone_));
    }

  private:
    const std::string& timeZone_;
    std::map<std::int64_t, Month> byStart_;
};

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

    MonthRanges months(timeZone_);
    std::map<int, YearGroup> years;
    for (const auto& record : records) {
        if (!record) continue;
        const std::optional<LLInstant>& issued = record->dateIssued();
        if (!issued) continue;
        const MonthRanges::Month& period = months.monthOf(*issued);
        if (period.month < 1 || period.month > 12) continue;

        YearGroup& group = years[period.year];
        if (!group.item) {
            group.item = std::make_shared<LLSourceItem>();
            group.item->name = decimalText(period.year);
            group.item->uid = group.item->name;
            group.item->predicate = months.yearPredicate(period.year);
        }
        if (group.hasMonth[period.month]) continue;
        group.hasMonth[period.month] = true;
        auto item = std::make_shared<LLSourceItem>();
        item->name = monthNames[period.month];
        item->uid = monthUID(period.year, period.month);
        item->index = period.month;
        item->predicate = LLInvoicePredicate::issuedBetween(period.from, period.to);
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
