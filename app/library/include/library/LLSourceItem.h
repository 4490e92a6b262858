#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/LLInvoicePredicate.h"

namespace library {

// One group of the source list: "All", a year or a month of a year.
struct LLSourceItem {
    std::string name;  // label shown in the list
    std::string uid;   // stable across rebuilds; expansion and selection are restored by it
    std::optional<LLInvoicePredicate> predicate;  // the records of the group
    std::vector<std::shared_ptr<LLSourceItem>> items;
    long index = 0;  // month number of month groups, 0 otherwise

    // "name" and "uid"; none for any other key.
    std::optional<std::string> valueForKey(std::string_view key) const {
        if (key == "name") return name;
        if (key == "uid") return uid;
        return std::nullopt;
    }
};

}  // namespace library
