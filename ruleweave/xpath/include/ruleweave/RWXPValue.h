#pragma once

#include <libxml/tree.h>

#include <boost/container/small_vector.hpp>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/Decimal.h"
#include "ruleweave/RWExport.h"

namespace RULEWEAVE_EXPORT ruleweave {

using platform::Decimal;

// One item of an XPath 2.0 sequence: a node of the libxml2 tree or a typed atomic value.
struct RWXPItem {
    enum class Kind : std::uint8_t {
        Node,
        String,
        Untyped,  // the value of a node: compares as text with text, as a number with numbers
        AnyURI,
        Boolean,
        Integer,  // exact, unbounded (held in `decimal` with exponent 0)
        Decimal,  // exact
        Double,
        Date,  // days since 1970-01-01, optional time zone in minutes
    };

    Kind kind = Kind::String;
    bool boolean = false;
    bool hasTimeZone = false;
    std::int16_t timeZoneMinutes = 0;
    xmlNodePtr node = nullptr;
    double number = 0;
    std::int64_t days = 0;
    std::string text;
    Decimal decimal;

    static RWXPItem makeNode(xmlNodePtr n) {
        RWXPItem i;
        i.kind = Kind::Node;
        i.node = n;
        return i;
    }
    static RWXPItem makeString(std::string s) {
        RWXPItem i;
        i.kind = Kind::String;
        i.text = std::move(s);
        return i;
    }
    static RWXPItem makeUntyped(std::string s) {
        RWXPItem i;
        i.kind = Kind::Untyped;
        i.text = std::move(s);
        return i;
    }
    static RWXPItem makeBoolean(bool b) {
        RWXPItem i;
        i.kind = Kind::Boolean;
        i.boolean = b;
        return i;
    }
    static RWXPItem makeInteger(Decimal d) {
        RWXPItem i;
        i.kind = Kind::Integer;
        i.decimal = std::move(d);
        return i;
    }
    static RWXPItem makeInteger(std::int64_t v) { return makeInteger(Decimal(v)); }
    static RWXPItem makeDecimal(Decimal d) {
        RWXPItem i;
        i.kind = Kind::Decimal;
        i.decimal = std::move(d);
        return i;
    }
    static RWXPItem makeDouble(double d) {
        RWXPItem i;
        i.kind = Kind::Double;
        i.number = d;
        return i;
    }
    static RWXPItem makeDate(std::int64_t days, bool hasTz, int tzMinutes);

    bool isNode() const { return kind == Kind::Node; }
    bool isNumeric() const {
        return kind == Kind::Integer || kind == Kind::Decimal || kind == Kind::Double;
    }
    bool isStringLike() const {
        return kind == Kind::String || kind == Kind::Untyped || kind == Kind::AnyURI;
    }
};

// A sequence; single items dominate, so one item lives inline.
using RWXPValue = boost::container::small_vector<RWXPItem, 1>;

// A dynamic error of the XPath 2.0 rules (a failed cast, an operand of the wrong type). It ends the
// evaluation of the expression; the evaluator answers the empty sequence and records the text.
struct RWXPDynamicError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

namespace xdm {

RWXPValue single(RWXPItem item);
RWXPValue booleanValue(bool b);

// The string value of a node (XPath string()).
std::string nodeStringValue(xmlNodePtr node);
// Atomization: nodes become untyped atomic values of their string value.
RWXPItem atomize(const RWXPItem& item);
RWXPValue atomize(const RWXPValue& value);

// Effective boolean value; a sequence of several atomic values is a dynamic error.
bool effectiveBooleanValue(const RWXPValue& value);
// The canonical text of an atomic item (string(), concatenation); a node gives its string value.
std::string stringOf(const RWXPItem& item);
// string() of a value: "" for the empty sequence, the first item's text otherwise.
std::string stringOf(const RWXPValue& value);
// fn:normalize-space: runs of XML whitespace as one blank, none at the ends.
std::string normalizeSpace(const std::string& s);
// The double of a value as number() reads it (NaN when not a number).
double numberOf(const RWXPItem& item);
double numberOf(const RWXPValue& value);
std::string doubleToString(double d);

// Casts following the XML Schema lexical rules; throw RWXPDynamicError when not castable.
RWXPItem castToDecimal(const RWXPItem& item);
RWXPItem castToInteger(const RWXPItem& item);
RWXPItem castToDouble(const RWXPItem& item);
RWXPItem castToString(const RWXPItem& item);
RWXPItem castToBoolean(const RWXPItem& item);
RWXPItem castToDate(const RWXPItem& item);
bool parseXsDecimal(std::string_view text, Decimal& out);
bool parseXsDouble(std::string_view text, double& out);

// General comparison (=, !=, <, <=, >, >=): existential over both atomized sequences.
bool generalCompare(int op, const RWXPValue& left, const RWXPValue& right);
// Value comparison (eq, ne, lt, le, gt, ge) of two single atomic values; op as the general form.
bool compareAtomic(int op, const RWXPItem& left, const RWXPItem& right, bool generalRules);
// Arithmetic on single atomic values with the XPath 2.0 type promotion.
RWXPItem arithmetic(int op, const RWXPItem& left, const RWXPItem& right);
// Equality used by distinct-values and index-of (no errors: incomparable values differ).
bool deepEqualAtomic(const RWXPItem& left, const RWXPItem& right);

// Document order of two nodes of one document.
bool nodeBefore(xmlNodePtr a, xmlNodePtr b);
// Sorts into document order and removes duplicates (all items must be nodes).
void sortDocumentOrder(RWXPValue& nodes);

}  // namespace xdm
}  // namespace ruleweave
