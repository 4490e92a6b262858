// The payee account a transfer can go to and the values of the SEPA credit-transfer code.
#include <algorithm>
#include <array>
#include <cctype>

#include "model/LLInvoice.h"
#include "model/TextValues.h"

namespace model {
namespace {

// Countries and territories whose IBANs SEPA credit transfers reach.
constexpr std::array<std::string_view, 36> kSEPACountries = {
    "AD", "AT", "BE", "BG", "CH", "CY", "CZ", "DE", "DK", "EE", "ES", "FI",
    "FR", "GB", "GI", "GR", "HR", "HU", "IE", "IS", "IT", "LI", "LT", "LU",
    "LV", "MC", "MT", "NL", "NO", "PL", "PT", "RO", "SE", "SI", "SK", "SM"};

// The EPC format counts characters, not bytes: cut at a code point boundary.
std::string cutToCharacters(const std::string& text, size_t limit) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (count++ == limit) return text.substr(0, i);
    }
    return text;
}

// One line, straight double quotes as U+2033 (the code's fields are plain text).
std::string oneLine(const std::string& text) {
    std::string line;
    for (char c : singleLineText(text))
        line += c == '"' ? std::string("\u2033") : std::string(1, c);
    return line;
}

std::string twoDecimals(const Decimal& amount) {
    std::string text = amount.rounded(2, platform::RoundingMode::HalfUp).toString();
    size_t point = text.find('.');
    if (point == std::string::npos) return text + ".00";
    text.append(2 - std::min<size_t>(2, text.size() - point - 1), '0');
    return text;
}

}  // namespace

std::optional<std::string> validIBAN(std::string_view text) {
    std::string iban;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '-') continue;
        if (!std::isalnum(static_cast<unsigned char>(c))) return std::nullopt;
        iban += char(std::toupper(static_cast<unsigned char>(c)));
    }
    if (iban.size() < 15 || iban.size() > 34) return std::nullopt;
    if (!std::isalpha(static_cast<unsigned char>(iban[0])) ||
        !std::isalpha(static_cast<unsigned char>(iban[1])) ||
        !std::isdigit(static_cast<unsigned char>(iban[2])) ||
        !std::isdigit(static_cast<unsigned char>(iban[3])))
        return std::nullopt;
    if (std::find(kSEPACountries.begin(), kSEPACountries.end(), iban.substr(0, 2)) ==
        kSEPACountries.end())
        return std::nullopt;
    // ISO 13616: the rearranged number, letters as 10 to 35, leaves 1 modulo 97.
    const std::string rearranged = iban.substr(4) + iban.substr(0, 4);
    int remainder = 0;
    for (char c : rearranged) {
        int value = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'A' + 10;
        remainder = value >= 10 ? (remainder * 100 + value) % 97 : (remainder * 10 + value) % 97;
    }
    if (remainder != 1) return std::nullopt;
    return iban;
}

std::optional<SubstitutionDictionary> LLInvoice::paymentCodeValues() const {
    // Only a positive amount due in euros, paid by transfer to a checked IBAN of the payee.
    if (totalIsCredited() || !finalAmount || finalAmount->sign() <= 0) return std::nullopt;
    if (*finalAmount > Decimal(platform::Decimal::Integer(99999999999), -2)) return std::nullopt;
    if (!currency || !currency->name || oneLine(*currency->name) != "EUR") return std::nullopt;
    if (!creditTransferIBAN) return std::nullopt;
    std::optional<std::string> holder = creditTransferAccountName;
    if (!holder || oneLine(*holder).empty()) holder = payeeName;
    if ((!holder || oneLine(*holder).empty()) && seller) holder = seller->name;
    if (!holder || oneLine(*holder).empty()) return std::nullopt;
    if (twoDecimals(*finalAmount) == "0.00") return std::nullopt;

    SubstitutionDictionary values;
    values["qr.iban"] = *creditTransferIBAN;
    values["qr.name"] = cutToCharacters(oneLine(*holder), 70);
    std::string bic = creditTransferBIC ? oneLine(*creditTransferBIC) : std::string();
    if (bic.size() == 8 || bic.size() == 11) values["qr.bic"] = bic;
    values["qr.amount"] = "EUR" + twoDecimals(*finalAmount);
    std::optional<std::string> remittance = paymentReference;
    if (!remittance || oneLine(*remittance).empty()) remittance = number;
    if (remittance && !oneLine(*remittance).empty())
        values["qr.remittance"] = cutToCharacters(oneLine(*remittance), 140);
    return values;
}

std::string facturaeTaxName(const std::string& code) {
    static const std::map<std::string, std::string> names = {
        {"01", "IVA"},    {"02", "IPSI"},  {"03", "IGIC"},   {"04", "IRPF"},   {"05", "Other"},
        {"06", "ITPAJD"}, {"07", "IE"},    {"08", "RA"},     {"09", "IGTECM"}, {"10", "IECDPCAC"},
        {"11", "IIIMAB"}, {"12", "ICIO"},  {"13", "IMVDN"},  {"14", "IMSN"},   {"15", "IMGSN"},
        {"16", "IMPN"},   {"17", "REIVA"}, {"18", "REIGIC"}, {"19", "REIPSI"}, {"20", "IPS"},
        {"21", "RLEA"},   {"22", "IVPEE"}, {"23", "IPCNG"},  {"24", "IACNG"},  {"25", "IDEC"},
        {"26", "ILTCAC"}, {"27", "IGFEI"}, {"28", "IRNR"},   {"29", "ISS"}};
    auto found = names.find(code);
    return found == names.end() ? code : found->second;
}

}  // namespace model
