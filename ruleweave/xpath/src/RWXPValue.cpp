#include "ruleweave/RWXPValue.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/Date.h"
#include "ruleweave/RWXPToken.h"

namespace ruleweave {

RWXPItem RWXPItem::makeDate(std::int64_t days, bool hasTz, int tzMinutes) {
    RWXPItem i;
    i.kind = Kind::Date;
    i.days = days;
    i.hasTimeZone = hasTz;
    i.timeZoneMinutes = static_cast<std::int16_t>(tzMinutes);
    return i;
}

namespace xdm {
namespace {

using Kind = RWXPItem::Kind;

std::string_view trimXml(std::string_view t) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!t.empty() && space(t.front())) t.remove_prefix(1);
    while (!t.empty() && space(t.back())) t.remove_suffix(1);
    return t;
}

[[noreturn]] void fail(const std::string& message) { throw RWXPDynamicError(message); }

int compareDoubles(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

bool applyOrder(int op, int cmp) {
    switch (op) {
        case RWXPTokenEqual:
        case RWXPOpValueEq:
            return cmp == 0;
        case RWXPTokenNotEqual:
        case RWXPOpValueNe:
            return cmp != 0;
        case RWXPTokenLess:
        case RWXPOpValueLt:
            return cmp < 0;
        case RWXPTokenLessEqual:
        case RWXPOpValueLe:
            return cmp <= 0;
        case RWXPTokenGreater:
        case RWXPOpValueGt:
            return cmp > 0;
        case RWXPTokenGreaterEqual:
        case RWXPOpValueGe:
            return cmp >= 0;
        default:
            return false;
    }
}

bool isEqualityOp(int op) {
    return op == RWXPTokenEqual || op == RWXPTokenNotEqual || op == RWXPOpValueEq ||
           op == RWXPOpValueNe;
}

std::int64_t dateKeyMinutes(const RWXPItem& d) {
    // Dates without a zone are taken as UTC, the implicit zone of a validation run.
    return d.days * 1440 - (d.hasTimeZone ? d.timeZoneMinutes : 0);
}

}  // namespace

RWXPValue single(RWXPItem item) {
    RWXPValue v;
    v.push_back(std::move(item));
    return v;
}

RWXPValue booleanValue(bool b) { return single(RWXPItem::makeBoolean(b)); }

std::string nodeStringValue(xmlNodePtr node) {
    if (!node) return {};
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE ||
        node->type == XML_COMMENT_NODE) {
        return node->content ? reinterpret_cast<const char*>(node->content) : "";
    }
    xmlChar* text = xmlXPathCastNodeToString(node);
    std::string result = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return result;
}

RWXPItem atomize(const RWXPItem& item) {
    if (!item.isNode()) return item;
    return RWXPItem::makeUntyped(nodeStringValue(item.node));
}

RWXPValue atomize(const RWXPValue& value) {
    RWXPValue result;
    result.reserve(value.size());
    for (const auto& item : value) result.push_back(atomize(item));
    return result;
}

bool effectiveBooleanValue(const RWXPValue& value) {
    if (value.empty()) return false;
    const RWXPItem& first = value.front();
    if (first.isNode()) return true;
    if (value.size() > 1) fail("effective boolean value of a sequence of several atomic values");
    switch (first.kind) {
        case Kind::Boolean:
            return first.boolean;
        case Kind::String:
        case Kind::Untyped:
        case Kind::AnyURI:
            return !first.text.empty();
        case Kind::Integer:
        case Kind::Decimal:
            return !first.decimal.isZero();
        case Kind::Double:
            return first.number != 0 && !std::isnan(first.number);
        default:
            fail("no effective boolean value for a date");
    }
}

std::string doubleToString(double d) {
    if (std::isnan(d)) return "NaN";
    if (std::isinf(d)) return d > 0 ? "INF" : "-INF";
    if (d == 0) return std::signbit(d) ? "-0" : "0";
    double magnitude = std::fabs(d);
    char buffer[64];
    if (magnitude >= 1e-6 && magnitude < 1e6) {
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
        std::string text(buffer, end);
        if (text.find('.') != std::string::npos) {
            while (text.back() == '0') text.pop_back();
            if (text.back() == '.') text.pop_back();
        }
        return text;
    }
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific);
    std::string text(buffer, end);  // e.g. 1.5e+07
    auto e = text.find('e');
    std::string mantissa = text.substr(0, e);
    int exponent = std::atoi(text.c_str() + e + 1);
    if (mantissa.find('.') == std::string::npos) mantissa += ".0";
    return mantissa + "E" + std::to_string(exponent);
}

std::string stringOf(const RWXPItem& item) {
    switch (item.kind) {
        case Kind::Node:
            return nodeStringValue(item.node);
        case Kind::String:
        case Kind::Untyped:
        case Kind::AnyURI:
            return item.text;
        case Kind::Boolean:
            return item.boolean ? "true" : "false";
        case Kind::Integer:
            return item.decimal.toString();
        case Kind::Decimal:
            return item.decimal.toString();
        case Kind::Double:
            return doubleToString(item.number);
        case Kind::Date: {
            std::string text = platform::Date::fromDaysSinceEpoch(item.days).toIsoString();
            if (item.hasTimeZone) {
                int tz = item.timeZoneMinutes;
                if (tz == 0) return text + "Z";
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "%c%02d:%02d", tz < 0 ? '-' : '+',
                              std::abs(tz) / 60, std::abs(tz) % 60);
                text += buffer;
            }
            return text;
        }
    }
    return {};
}

std::string normalizeSpace(const std::string& s) {
    std::string out;
    bool pending = false;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            pending = !out.empty();
        } else {
            if (pending) out.push_back(' ');
            pending = false;
            out.push_back(c);
        }
    }
    return out;
}

std::string stringOf(const RWXPValue& value) {
    return value.empty() ? std::string() : stringOf(value.front());
}

bool parseXsDecimal(std::string_view text, Decimal& out) {
    text = trimXml(text);
    if (text.empty()) return false;
    size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    bool digits = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c != '.')
            return false;
    }
    if (!digits || std::count(text.begin(), text.end(), '.') > 1) return false;
    auto parsed = Decimal::parse(text);
    if (!parsed) return false;
    out = *parsed;
    return true;
}

bool parseXsDouble(std::string_view text, double& out) {
    text = trimXml(text);
    if (text == "INF" || text == "+INF") {
        out = std::numeric_limits<double>::infinity();
        return true;
    }
    if (text == "-INF") {
        out = -std::numeric_limits<double>::infinity();
        return true;
    }
    if (text == "NaN") {
        out = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (text.empty()) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
            return false;
    std::string copy(text);
    if (copy[0] == '+') copy.erase(0, 1);
    const char* begin = copy.c_str();
    char* end = nullptr;
    out = std::strtod(begin, &end);
    return end && *end == '\0' && end != begin;
}

double numberOf(const RWXPItem& item) {
    switch (item.kind) {
        case Kind::Boolean:
            return item.boolean ? 1 : 0;
        case Kind::Integer:
        case Kind::Decimal:
            return item.decimal.toDouble();
        case Kind::Double:
            return item.number;
        case Kind::Date:
            return std::numeric_limits<double>::quiet_NaN();
        default: {
            double d;
            if (parseXsDouble(stringOf(item), d)) return d;
            return std::numeric_limits<double>::quiet_NaN();
        }
    }
}

double numberOf(const RWXPValue& value) {
    return value.empty() ? std::numeric_limits<double>::quiet_NaN() : numberOf(value.front());
}

RWXPItem castToDecimal(const RWXPItem& in) {
    RWXPItem item = atomize(in);
    switch (item.kind) {
        case Kind::Integer:
        case Kind::Decimal:
            return RWXPItem::makeDecimal(item.decimal);
        case Kind::Double: {
            if (std::isnan(item.number) || std::isinf(item.number))
                fail("cannot cast NaN or INF to xs:decimal");
            return RWXPItem::makeDecimal(*Decimal::fromDouble(item.number));
        }
        case Kind::Boolean:
            return RWXPItem::makeDecimal(Decimal(item.boolean ? 1 : 0));
        case Kind::Date:
            fail("cannot cast xs:date to xs:decimal");
        default: {
            Decimal d;
            if (!parseXsDecimal(item.text, d))
                fail("\"" + item.text + "\" is not a valid xs:decimal");
            return RWXPItem::makeDecimal(d);
        }
    }
}

RWXPItem castToInteger(const RWXPItem& in) {
    RWXPItem item = atomize(in);
    switch (item.kind) {
        case Kind::Integer:
            return item;
        case Kind::Decimal:
            return RWXPItem::makeInteger(Decimal(item.decimal.truncatedInteger(), 0));
        case Kind::Double: {
            if (std::isnan(item.number) || std::isinf(item.number))
                fail("cannot cast NaN or INF to xs:integer");
            return RWXPItem::makeInteger(
                Decimal(Decimal::fromDouble(std::trunc(item.number))->truncatedInteger(), 0));
        }
        case Kind::Boolean:
            return RWXPItem::makeInteger(item.boolean ? 1 : 0);
        case Kind::Date:
            fail("cannot cast xs:date to xs:integer");
        default: {
            std::string_view t = trimXml(item.text);
            size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
            if (i >= t.size()) fail("\"" + item.text + "\" is not a valid xs:integer");
            for (size_t k = i; k < t.size(); ++k)
                if (t[k] < '0' || t[k] > '9')
                    fail("\"" + item.text + "\" is not a valid xs:integer");
            return RWXPItem::makeInteger(*Decimal::parse(t));
        }
    }
}

RWXPItem castToDouble(const RWXPItem& in) {
    RWXPItem item = atomize(in);
    switch (item.kind) {
        case Kind::Double:
            return item;
        case Kind::Integer:
        case Kind::Decimal:
            return RWXPItem::makeDouble(item.decimal.toDouble());
        case Kind::Boolean:
            return RWXPItem::makeDouble(item.boolean ? 1 : 0);
        case Kind::Date:
            fail("cannot cast xs:date to xs:double");
        default: {
            double d;
            if (!parseXsDouble(item.text, d))
                fail("\"" + item.text + "\" is not a valid xs:double");
            return RWXPItem::makeDouble(d);
        }
    }
}

RWXPItem castToString(const RWXPItem& item) { return RWXPItem::makeString(stringOf(item)); }

RWXPItem castToBoolean(const RWXPItem& in) {
    RWXPItem item = atomize(in);
    switch (item.kind) {
        case Kind::Boolean:
            return item;
        case Kind::Integer:
        case Kind::Decimal:
            return RWXPItem::makeBoolean(!item.decimal.isZero());
        case Kind::Double:
            return RWXPItem::makeBoolean(item.number != 0 && !std::isnan(item.number));
        case Kind::Date:
            fail("cannot cast xs:date to xs:boolean");
        default: {
            std::string_view t = trimXml(item.text);
            if (t == "true" || t == "1") return RWXPItem::makeBoolean(true);
            if (t == "false" || t == "0") return RWXPItem::makeBoolean(false);
            fail("\"" + item.text + "\" is not a valid xs:boolean");
        }
    }
}

RWXPItem castToDate(const RWXPItem& in) {
    RWXPItem item = atomize(in);
    if (item.kind == Kind::Date) return item;
    if (!item.isStringLike()) fail("cannot cast to xs:date");
    std::string_view t = trimXml(item.text);
    // yyyy-mm-dd with an optional zone (Z or ±hh:mm).
    auto digits = [&t](size_t pos, size_t n, int& out) {
        if (pos + n > t.size()) return false;
        int v = 0;
        for (size_t k = pos; k < pos + n; ++k) {
            if (t[k] < '0' || t[k] > '9') return false;
            v = v * 10 + (t[k] - '0');
        }
        out = v;
        return true;
    };
    int y, m, d;
    if (t.size() < 10 || !digits(0, 4, y) || t[4] != '-' || !digits(5, 2, m) || t[7] != '-' ||
        !digits(8, 2, d) || !platform::Date::isValid(y, m, d))
        fail("\"" + item.text + "\" is not a valid xs:date");
    std::string_view zone = t.substr(10);
    bool hasTz = false;
    int tz = 0;
    if (zone == "Z") {
        hasTz = true;
    } else if (!zone.empty()) {
        int hh = 0, mm = 0;
        bool ok = zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':';
        for (size_t k : {1, 2, 4, 5}) ok = ok && zone[k] >= '0' && zone[k] <= '9';
        if (!ok) fail("\"" + item.text + "\" is not a valid xs:date");
        hh = (zone[1] - '0') * 10 + (zone[2] - '0');
        mm = (zone[4] - '0') * 10 + (zone[5] - '0');
        hasTz = true;
        tz = (hh * 60 + mm) * (zone[0] == '-' ? -1 : 1);
    }
    return RWXPItem::makeDate(platform::Date{y, m, d}.daysSinceEpoch(), hasTz, tz);
}

bool compareAtomic(int op, const RWXPItem& leftIn, const RWXPItem& rightIn, bool generalRules) {
    RWXPItem left = atomize(leftIn), right = atomize(rightIn);
    // Untyped values take the type of the other side (general comparison) or are strings.
    if (left.kind == Kind::Untyped && right.kind == Kind::Untyped) {
        left.kind = right.kind = Kind::String;
    }
    for (int pass = 0; pass < 2; ++pass) {
        RWXPItem& a = pass == 0 ? left : right;
        const RWXPItem& b = pass == 0 ? right : left;
        if (a.kind != Kind::Untyped) continue;
        if (!generalRules || b.isStringLike())
            a.kind = Kind::String;
        else if (b.isNumeric())
            a = castToDouble(a);
        else if (b.kind == Kind::Boolean)
            a = castToBoolean(a);
        else if (b.kind == Kind::Date)
            a = castToDate(a);
        else
            a.kind = Kind::String;
    }
    if (left.isStringLike() && right.isStringLike()) {
        int c = left.text.compare(right.text);
        return applyOrder(op, c < 0 ? -1 : (c > 0 ? 1 : 0));
    }
    if (left.isNumeric() && right.isNumeric()) {
        if (left.kind == Kind::Double || right.kind == Kind::Double) {
            double a = numberOf(left), b = numberOf(right);
            if (std::isnan(a) || std::isnan(b))
                return op == RWXPTokenNotEqual || op == RWXPOpValueNe;
            return applyOrder(op, compareDoubles(a, b));
        }
        auto order = left.decimal <=> right.decimal;
        return applyOrder(op, order < 0 ? -1 : (order > 0 ? 1 : 0));
    }
    if (left.kind == Kind::Boolean && right.kind == Kind::Boolean)
        return applyOrder(op, int(left.boolean) - int(right.boolean));
    if (left.kind == Kind::Date && right.kind == Kind::Date) {
        std::int64_t a = dateKeyMinutes(left), b = dateKeyMinutes(right);
        return applyOrder(op, a < b ? -1 : (a > b ? 1 : 0));
    }
    if (isEqualityOp(op)) fail("values of different types cannot be compared");
    fail("values of different types cannot be ordered");
}

bool generalCompare(int op, const RWXPValue& left, const RWXPValue& right) {
    for (const auto& a : left)
        for (const auto& b : right)
            if (compareAtomic(op, a, b, true)) return true;
    return false;
}

namespace {

RWXPItem numericOperand(const RWXPItem& in) {
    RWXPItem item = atomize(in);
    if (item.kind == Kind::Untyped) return castToDouble(item);
    if (!item.isNumeric()) fail("arithmetic on a non-numeric value");
    return item;
}

double doubleArithmetic(int op, double a, double b) {
    switch (op) {
        case RWXPTokenPlus:
            return a + b;
        case RWXPTokenMinus:
            return a - b;
        case RWXPTokenStar:
            return a * b;
        case RWXPTokenDiv:
            return a / b;
        case RWXPOpMod:
            return std::fmod(a, b);
        default:
            return std::numeric_limits<double>::quiet_NaN();
    }
}

}  // namespace

RWXPItem arithmetic(int op, const RWXPItem& leftIn, const RWXPItem& rightIn) {
    RWXPItem a = numericOperand(leftIn), b = numericOperand(rightIn);
    if (a.kind == Kind::Double || b.kind == Kind::Double) {
        double x = numberOf(a), y = numberOf(b);
        if (op == RWXPOpIdiv) {
            if (y == 0 || std::isnan(x) || std::isnan(y) || std::isinf(x))
                fail("integer division by zero");
            return RWXPItem::makeInteger(
                Decimal(Decimal::fromDouble(std::trunc(x / y))->truncatedInteger(), 0));
        }
        return RWXPItem::makeDouble(doubleArithmetic(op, x, y));
    }
    const bool integers = a.kind == Kind::Integer && b.kind == Kind::Integer;
    switch (op) {
        case RWXPTokenPlus: {
            Decimal r = a.decimal + b.decimal;
            return integers ? RWXPItem::makeInteger(r) : RWXPItem::makeDecimal(r);
        }
        case RWXPTokenMinus: {
            Decimal r = a.decimal - b.decimal;
            return integers ? RWXPItem::makeInteger(r) : RWXPItem::makeDecimal(r);
        }
        case RWXPTokenStar: {
            Decimal r = a.decimal * b.decimal;
            return integers ? RWXPItem::makeInteger(r) : RWXPItem::makeDecimal(r);
        }
        case RWXPTokenDiv: {
            std::int32_t digits =
                std::max<std::int32_t>(18, std::max(a.decimal.scale(), b.decimal.scale()));
            auto q = a.decimal.divide(b.decimal, digits, platform::RoundingMode::HalfDown);
            if (!q) fail("decimal division by zero");
            return RWXPItem::makeDecimal(q->normalized());
        }
        case RWXPOpIdiv: {
            auto q = a.decimal.integerDivide(b.decimal);
            if (!q) fail("integer division by zero");
            return RWXPItem::makeInteger(Decimal(*q, 0));
        }
        case RWXPOpMod: {
            auto r = a.decimal.remainder(b.decimal);
            if (!r) fail("modulus by zero");
            return integers ? RWXPItem::makeInteger(*r) : RWXPItem::makeDecimal(*r);
        }
        default:
            fail("unknown arithmetic operator");
    }
}

bool deepEqualAtomic(const RWXPItem& left, const RWXPItem& right) {
    try {
        RWXPItem a = atomize(left), b = atomize(right);
        if (a.kind == Kind::Untyped) a.kind = Kind::String;
        if (b.kind == Kind::Untyped) b.kind = Kind::String;
        if (a.kind == Kind::Double && b.kind == Kind::Double && std::isnan(a.number) &&
            std::isnan(b.number))
            return true;
        return compareAtomic(RWXPOpValueEq, a, b, false);
    } catch (const RWXPDynamicError&) {
        return false;
    }
}

bool nodeBefore(xmlNodePtr a, xmlNodePtr b) {
    if (a == b) return false;
    // Attributes sort right after their element, before its children.
    return xmlXPathCmpNodes(a, b) > 0;
}

void sortDocumentOrder(RWXPValue& nodes) {
    if (nodes.size() < 2) return;
    std::stable_sort(nodes.begin(), nodes.end(), [](const RWXPItem& x, const RWXPItem& y) {
        return nodeBefore(x.node, y.node);
    });
    nodes.erase(std::unique(nodes.begin(), nodes.end(),
                            [](const RWXPItem& x, const RWXPItem& y) { return x.node == y.node; }),
                nodes.end());
}

}  // namespace xdm
}  // namespace ruleweave
