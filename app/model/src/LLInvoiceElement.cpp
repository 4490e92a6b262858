#include "model/LLInvoiceElement.h"

namespace model {

bool LLInvoiceElement::populate(XmlNode node) {
    if (!node) return false;
    switch (detectSyntax(node)) {
        case InvoiceSyntax::CII:
            populateFromCIIXML(node);
            return true;
        case InvoiceSyntax::FatturaPA:
            populateFromFatturaPAXML(node);
            return true;
        case InvoiceSyntax::UBL:
            populateFromUBLXML(node);
            return true;
        case InvoiceSyntax::Facturae:
            populateFromFacturaeXML(node);
            return true;
        case InvoiceSyntax::None:
            break;
    }
    return false;
}

}  // namespace model

#include <unicode/datefmt.h>
#include <unicode/smpdtfmt.h>

#include <map>
#include <memory>

#include "library/SFNumberTransformer.h"
#include "platform/Formatting.h"

namespace model {

std::string LLInvoiceElement::description() const { return "LLInvoiceElement"; }

std::optional<std::string> LLInvoiceElement::number(const std::optional<Decimal>& value) {
    auto transformer = library::SFValueTransformer::transformerNamed<library::SFNumberTransformer>(
        "SFNumberTransformer");
    if (!transformer) return value ? std::optional(value->toString()) : std::nullopt;
    return transformer->transformedValue(value);
}

std::string LLInvoiceElement::string(const std::optional<std::string>& value) {
    return value ? *value : std::string();
}

std::string LLInvoiceElement::date(const std::optional<Date>& value) {
    if (!value) return std::string();
    // The locale's short form, but always with a four-digit year: "05.03.2024", "3/5/2024".
    const std::string locale = platform::Formatting::userLocale();
    thread_local std::map<std::string, std::unique_ptr<icu::DateFormat>> formats;
    auto found = formats.find(locale);
    if (found == formats.end()) {
        if (formats.size() > 16) formats.clear();
        std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateInstance(
            icu::DateFormat::kShort, icu::Locale(locale.c_str())));
        if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get())) {
            icu::UnicodeString pattern;
            simple->toPattern(pattern);
            if (pattern.indexOf(u"yyyy") < 0) {
                int32_t at = pattern.indexOf(u"yy");
                if (at >= 0)
                    pattern.replace(at, 2, u"yyyy");
                else if ((at = pattern.indexOf(u'y')) >= 0)
                    pattern.replace(at, 1, u"yyyy");
                simple->applyPattern(pattern);
            }
        }
        if (format) format->adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
        found = formats.emplace(locale, std::move(format)).first;
    }
    if (!found->second) return platform::Formatting::formatDate(*value, platform::DateStyle::Short);
    icu::UnicodeString out;
    found->second->format(static_cast<UDate>(value->daysSinceEpoch()) * 86400000.0, out);
    std::string text;
    out.toUTF8String(text);
    return text;
}

}  // namespace model
