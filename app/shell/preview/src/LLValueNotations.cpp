#include "preview/LLValueNotations.h"

#include <algorithm>
#include <array>
#include <set>

namespace preview {
namespace {

constexpr std::array<const char*, 6> kThousandsSeparators = {"", ",", ".", "'", " ", "\u2019"};
constexpr std::array<const char*, 2> kDecimalSeparators = {".", ","};

// Every group of three marked ("1.234.567"): how the renderer and most PDFs print millions.
std::string groupedEverywhere(const std::string& digits, const std::string& separator) {
    std::string out;
    const size_t count = digits.size();
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> generatePossibleStringsForNumber(const platform::Decimal& number) {
    // Shortest plain text: 1234.50 reads "1234.5", 19.00 reads "19".
    const std::string plain = number.toString();
    const size_t point = plain.find('.');
    const std::string integerPart = plain.substr(0, point);
    const std::string fraction = point == std::string::npos ? "00" : plain.substr(point + 1);
    const std::array<std::string, 3> fractions = {fraction, fraction + "0", fraction + "00"};

    std::vector<std::string> integers;
    if (integerPart.size() < 4) {
        integers.push_back(integerPart);
    } else {
        const std::string head = integerPart.substr(0, integerPart.size() - 3);
        const std::string tail = integerPart.substr(integerPart.size() - 3);
        for (const char* separator : kThousandsSeparators) {
            integers.push_back(head + separator + tail);
        }
        // One mark before the last three digits alone misses "1.234.567,89"; add the fully
        // grouped forms for numbers of seven digits and more.
        const bool negative = integerPart.front() == '-';
        const std::string digits = negative ? integerPart.substr(1) : integerPart;
        if (digits.size() > 6) {
            for (const char* separator : kThousandsSeparators) {
                integers.push_back((negative ? "-" : "") + groupedEverywhere(digits, separator));
            }
        }
    }

    std::set<std::string> seen;
    std::vector<std::string> notations;
    for (const std::string& integer : integers) {
        for (const char* decimalSeparator : kDecimalSeparators) {
            for (const std::string& digits : fractions) {
                std::string notation = integer + decimalSeparator + digits;
                if (seen.insert(notation).second) notations.push_back(std::move(notation));
            }
        }
    }
    return notations;
}

}  // namespace preview
