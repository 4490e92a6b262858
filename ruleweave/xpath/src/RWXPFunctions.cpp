// The function library: XPath 2.0 functions and constructors the rule sets call, plus the
// schema's own functions registered at run time.
#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cmath>
#include <ctime>
#include <functional>
#include <limits>
#include <unordered_map>

#include "platform/Date.h"
#include "ruleweave/RWXPath2Evaluator.h"

namespace ruleweave {

using Args = std::vector<RWXPValue>;
using Kind = RWXPItem::Kind;

struct RWXPath2Evaluator::RegexCache {
    std::unordered_map<std::string, std::shared_ptr<icu::RegexPattern>> patterns;
};

struct RWXPFunctionLibrary {
    using Impl = std::function<RWXPValue(RWXPath2Evaluator&, Args&)>;
    struct Entry {
        size_t minArgs, maxArgs;
        Impl impl;
    };
    static const std::unordered_map<std::string, Entry>& table();
    static RWXPValue callCustom(RWXPath2Evaluator& e, RWXPCustomFunction& f, Args& args);
    static std::shared_ptr<icu::RegexPattern> regex(RWXPath2Evaluator& e,
                                                    const std::string& pattern,
                                                    const std::string& flags);
};

namespace {

[[noreturn]] void fail(const std::string& m) { throw RWXPDynamicError(m); }

RWXPValue single(RWXPItem i) { return xdm::single(std::move(i)); }
RWXPValue str(std::string s) { return single(RWXPItem::makeString(std::move(s))); }
RWXPValue boolean(bool b) { return xdm::booleanValue(b); }
RWXPValue integer(std::int64_t v) { return single(RWXPItem::makeInteger(v)); }

// At most one atomic value: none for the empty sequence.
std::optional<RWXPItem> optionalAtomic(const RWXPValue& v, const char* function) {
    if (v.empty()) return std::nullopt;
    if (v.size() > 1) fail(std::string(function) + "() expects at most one item");
    return xdm::atomize(v.front());
}

// The string of an optional argument: "" for the empty sequence.
std::string stringArg(const RWXPValue& v, const char* function) {
    auto item = optionalAtomic(v, function);
    return item ? xdm::stringOf(*item) : std::string();
}

// document()/doc(): the document node of every URI, through the evaluator's loader, which
// decides what may be read at all.
RWXPValue loadDocuments(RWXPath2Evaluator& e, const RWXPValue& uris) {
    if (!e.documentLoader()) fail("document() is not available here");
    RWXPValue documents;
    for (const auto& item : uris) {
        std::string uri = xdm::stringOf(item);
        xmlDocPtr doc = e.documentLoader()(uri);
        if (!doc) fail("document('" + uri + "') cannot be read");
        documents.push_back(RWXPItem::makeNode(reinterpret_cast<xmlNodePtr>(doc)));
    }
    return documents;
}

const RWXPItem& contextItemOrFail(RWXPath2Evaluator& e) {
    const RWXPItem* item = e.contextItem();
    if (!item) fail("no context item");
    return *item;
}

std::vector<UChar32> codepoints(const std::string& s) {
    std::vector<UChar32> out;
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    int32_t i = 0, n = static_cast<int32_t>(s.size());
    while (i < n) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        out.push_back(c < 0 ? 0xFFFD : c);
    }
    return out;
}

std::string fromCodepoints(const std::vector<UChar32>& cps, size_t begin = 0,
                           size_t end = SIZE_MAX) {
    std::string out;
    end = std::min(end, cps.size());
    for (size_t i = begin; i < end; ++i) {
        char buffer[4];
        int32_t len = 0;
        UBool error = false;
        U8_APPEND(reinterpret_cast<uint8_t*>(buffer), len, 4, cps[i], error);
        if (!error) out.append(buffer, static_cast<size_t>(len));
    }
    return out;
}

std::string toUtf8(const icu::UnicodeString& u) {
    std::string out;
    u.toUTF8String(out);
    return out;
}

icu::UnicodeString fromUtf8(const std::string& s) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

// Numeric value of an argument for the rounding family: untyped reads as a double.
std::optional<RWXPItem> numericArg(const RWXPValue& v, const char* function) {
    auto item = optionalAtomic(v, function);
    if (!item) return item;
    if (item->kind == Kind::Untyped) return xdm::castToDouble(*item);
    if (!item->isNumeric()) fail(std::string(function) + "() expects a number");
    return item;
}

RWXPValue roundWith(const RWXPValue& v, const char* function, platform::RoundingMode mode,
                    std::int32_t digits, double (*doubleRound)(double)) {
    auto item = numericArg(v, function);
    if (!item) return {};
    if (item->kind == Kind::Double) {
        double x = item->number;
        if (std::isnan(x) || std::isinf(x)) return single(*item);
        double scale = std::pow(10.0, digits);
        return single(RWXPItem::makeDouble(doubleRound(x * scale) / scale));
    }
    RWXPItem r = *item;
    r.decimal = r.decimal.rounded(digits, mode);
    if (r.kind == Kind::Integer && digits < 0) r.decimal = Decimal(r.decimal.truncatedInteger(), 0);
    if (r.kind == Kind::Integer) r.decimal = Decimal(r.decimal.truncatedInteger(), 0);
    return single(r);
}

double roundHalfUp(double x) { return std::floor(x + 0.5); }
double roundHalfEven(double x) {
    double r = std::nearbyint(x);  // default rounding mode: ties to even
    return r;
}

// Sum of numeric values with type promotion; untyped values count as doubles.
RWXPItem addAll(const RWXPValue& values) {
    RWXPItem total = RWXPItem::makeInteger(0);
    bool first = true;
    for (const auto& raw : values) {
        RWXPItem item = xdm::atomize(raw);
        if (item.kind == Kind::Untyped) item = xdm::castToDouble(item);
        if (!item.isNumeric()) fail("sum() expects numbers");
        total = first ? item : xdm::arithmetic(RWXPTokenPlus, total, item);
        first = false;
    }
    return total;
}

RWXPValue minMax(const RWXPValue& values, bool wantMax) {
    RWXPValue atoms = xdm::atomize(values);
    if (atoms.empty()) return {};
    for (auto& a : atoms)
        if (a.kind == Kind::Untyped) a = xdm::castToDouble(a);
    RWXPItem best = atoms.front();
    for (size_t i = 1; i < atoms.size(); ++i) {
        const RWXPItem& a = atoms[i];
        if (a.kind == Kind::Double && std::isnan(a.number)) return single(a);
        bool better =
            xdm::compareAtomic(wantMax ? RWXPTokenGreater : RWXPTokenLess, a, best, false);
        if (better) best = a;
    }
    return single(best);
}

std::string nodeName(xmlNodePtr n, bool local) {
    if (!n || !n->name) return {};
    if (n->type != XML_ELEMENT_NODE && n->type != XML_ATTRIBUTE_NODE && n->type != XML_PI_NODE)
        return {};
    std::string name = reinterpret_cast<const char*>(n->name);
    if (!local && n->type != XML_PI_NODE && n->ns && n->ns->prefix)
        return reinterpret_cast<const char*>(n->ns->prefix) + (":" + name);
    return name;
}

xmlNodePtr optionalNodeArg(RWXPath2Evaluator& e, Args& a, const char* function) {
    if (a.empty()) {
        const RWXPItem& item = contextItemOrFail(e);
        if (!item.isNode()) fail(std::string(function) + "() needs a node");
        return item.node;
    }
    if (a[0].empty()) return nullptr;
    if (a[0].size() > 1 || !a[0].front().isNode())
        fail(std::string(function) + "() needs one node");
    return a[0].front().node;
}

RWXPValue constructor(Args& a, RWXPItem (*cast)(const RWXPItem&), const char* name) {
    RWXPValue atoms = xdm::atomize(a[0]);
    if (atoms.empty()) return {};
    if (atoms.size() > 1) fail(std::string(name) + "() of several values");
    return single(cast(atoms.front()));
}

}  // namespace

std::shared_ptr<icu::RegexPattern> RWXPFunctionLibrary::regex(RWXPath2Evaluator& e,
                                                              const std::string& pattern,
                                                              const std::string& flags) {
    if (!e.regexCache_) e.regexCache_ = std::make_shared<RWXPath2Evaluator::RegexCache>();
    std::string key = flags + '\x01' + pattern;
    auto it = e.regexCache_->patterns.find(key);
    if (it != e.regexCache_->patterns.end()) return it->second;
    uint32_t options = 0;
    for (char f : flags) {
        if (f == 'i')
            options |= UREGEX_CASE_INSENSITIVE;
        else if (f == 'm')
            options |= UREGEX_MULTILINE;
        else if (f == 's')
            options |= UREGEX_DOTALL;
        else if (f == 'x')
            options |= UREGEX_COMMENTS;
        else
            fail("invalid regular expression flag '" + std::string(1, f) + "'");
    }
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::shared_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(fromUtf8(pattern), options, parseError, status));
    if (U_FAILURE(status)) compiled.reset();
    e.regexCache_->patterns.emplace(key, compiled);
    if (!compiled) fail("invalid regular expression '" + pattern + "'");
    return compiled;
}

RWXPValue RWXPFunctionLibrary::callCustom(RWXPath2Evaluator& e, RWXPCustomFunction& f, Args& args) {
    if (e.customCallDepth_ > 256) fail("custom functions nested too deeply");
    if (!f.parsed) {
        f.parsed = true;
        f.bodyTree = e.parse(f.bodyExpression);
        for (const auto& local : f.variables)
            f.variableTrees.push_back(
                local.name.empty() || local.select.empty() ? nullptr : e.parse(local.select));
    }
    // Only the parameters and local variables are bound here (the body's own bindings undo
    // themselves), so only their outer values need to come back.
    using Saved = std::vector<std::pair<const std::string*, std::optional<RWXPValue>>>;
    Saved saved;
    auto bind = [&](const std::string& name, RWXPValue value) {
        auto outer = e.variables_.find(name);
        saved.emplace_back(&name, outer == e.variables_.end()
                                      ? std::nullopt
                                      : std::optional<RWXPValue>(std::move(outer->second)));
        e.variables_[name] = std::move(value);
    };
    struct Restore {
        RWXPath2Evaluator& e;
        Saved& outer;
        ~Restore() {
            for (auto it = outer.rbegin(); it != outer.rend(); ++it) {
                if (it->second)
                    e.variables_[*it->first] = std::move(*it->second);
                else
                    e.variables_.erase(*it->first);
            }
            --e.customCallDepth_;
        }
    } restore{e, saved};
    ++e.customCallDepth_;
    for (size_t i = 0; i < f.parameters.size() && i < args.size(); ++i)
        bind(f.parameters[i], std::move(args[i]));
    for (size_t i = 0; i < f.variables.size(); ++i) {
        if (f.variables[i].name.empty() || f.variables[i].select.empty()) continue;
        const RWXPNodePtr& tree = f.variableTrees[i];
        bind(f.variables[i].name, tree ? tree->evaluateWithContext(e) : RWXPValue());
    }
    return f.bodyTree ? f.bodyTree->evaluateWithContext(e) : RWXPValue();
}

const std::unordered_map<std::string, RWXPFunctionLibrary::Entry>& RWXPFunctionLibrary::table() {
    static const std::unordered_map<std::string, Entry> functions = {
        // Focus and nodes.
        {"position",
         {0, 0, [](RWXPath2Evaluator& e, Args&) { return integer(e.contextPosition()); }}},
        {"last", {0, 0, [](RWXPath2Evaluator& e, Args&) { return integer(e.contextSize()); }}},
        {"name",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              return str(nodeName(optionalNodeArg(e, a, "name"), false));
          }}},
        {"local-name",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              return str(nodeName(optionalNodeArg(e, a, "local-name"), true));
          }}},
        {"namespace-uri",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              xmlNodePtr n = optionalNodeArg(e, a, "namespace-uri");
              std::string uri;
              if (n && (n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE) && n->ns &&
                  n->ns->href)
                  uri = reinterpret_cast<const char*>(n->ns->href);
              RWXPItem item = RWXPItem::makeString(uri);
              item.kind = Kind::AnyURI;
              return single(item);
          }}},
        {"root",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              xmlNodePtr n = optionalNodeArg(e, a, "root");
              if (!n) return RWXPValue();
              while (n->parent) n = n->parent;
              return single(RWXPItem::makeNode(n));
          }}},
        {"data", {1, 1, [](RWXPath2Evaluator&, Args& a) { return xdm::atomize(a[0]); }}},
        {"document", {1, 2, [](RWXPath2Evaluator& e, Args& a) { return loadDocuments(e, a[0]); }}},
        {"doc", {1, 1, [](RWXPath2Evaluator& e, Args& a) { return loadDocuments(e, a[0]); }}},

        // Strings.
        {"string",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              if (a.empty()) return str(xdm::stringOf(contextItemOrFail(e)));
              if (a[0].size() > 1) fail("string() of several items");
              return str(xdm::stringOf(a[0]));
          }}},
        {"string-length",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              std::string s = a.empty() ? xdm::stringOf(contextItemOrFail(e))
                                        : stringArg(a[0], "string-length");
              return integer(static_cast<std::int64_t>(codepoints(s).size()));
          }}},
        {"normalize-space",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              std::string s = a.empty() ? xdm::stringOf(contextItemOrFail(e))
                                        : stringArg(a[0], "normalize-space");
              return str(xdm::normalizeSpace(s));
          }}},
        {"concat",
         {1, SIZE_MAX,
          [](RWXPath2Evaluator&, Args& a) {
              std::string out;
              for (const auto& v : a) out += stringArg(v, "concat");
              return str(out);
          }}},
        {"string-join",
         {1, 2,
          [](RWXPath2Evaluator&, Args& a) {
              std::string sep = a.size() > 1 ? stringArg(a[1], "string-join") : "";
              std::string out;
              bool first = true;
              for (const auto& item : a[0]) {
                  if (!first) out += sep;
                  out += xdm::stringOf(xdm::atomize(item));
                  first = false;
              }
              return str(out);
          }}},
        {"contains",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              return boolean(stringArg(a[0], "contains").find(stringArg(a[1], "contains")) !=
                             std::string::npos);
          }}},
        {"starts-with",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              return boolean(
                  stringArg(a[0], "starts-with").rfind(stringArg(a[1], "starts-with"), 0) == 0);
          }}},
        {"ends-with",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              std::string s = stringArg(a[0], "ends-with"), t = stringArg(a[1], "ends-with");
              return boolean(s.size() >= t.size() &&
                             s.compare(s.size() - t.size(), t.size(), t) == 0);
          }}},
        {"substring",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              auto cps = codepoints(stringArg(a[0], "substring"));
              double start = xdm::numberOf(xdm::atomize(a[1]));
              double first = std::round(start);
              double last = std::numeric_limits<double>::infinity();
              if (a.size() > 2) last = first + std::round(xdm::numberOf(xdm::atomize(a[2])));
              std::string out;
              // Positions p with round(start) <= p < round(start) + round(length), counted from 1.
              std::vector<UChar32> kept;
              for (size_t i = 0; i < cps.size(); ++i) {
                  double p = double(i + 1);
                  if (p >= first && p < last) kept.push_back(cps[i]);
              }
              return str(fromCodepoints(kept));
          }}},
        {"substring-before",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              std::string s = stringArg(a[0], "substring-before"),
                          t = stringArg(a[1], "substring-before");
              auto pos = s.find(t);
              return str(pos == std::string::npos || t.empty() ? "" : s.substr(0, pos));
          }}},
        {"substring-after",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              std::string s = stringArg(a[0], "substring-after"),
                          t = stringArg(a[1], "substring-after");
              auto pos = s.find(t);
              return str(pos == std::string::npos ? "" : s.substr(pos + t.size()));
          }}},
        {"upper-case",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return str(
                  toUtf8(fromUtf8(stringArg(a[0], "upper-case")).toUpper(icu::Locale::getRoot())));
          }}},
        {"lower-case",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return str(
                  toUtf8(fromUtf8(stringArg(a[0], "lower-case")).toLower(icu::Locale::getRoot())));
          }}},
        {"translate",
         {3, 3,
          [](RWXPath2Evaluator&, Args& a) {
              auto s = codepoints(stringArg(a[0], "translate"));
              auto from = codepoints(stringArg(a[1], "translate"));
              auto to = codepoints(stringArg(a[2], "translate"));
              std::vector<UChar32> out;
              for (UChar32 c : s) {
                  auto it = std::find(from.begin(), from.end(), c);
                  if (it == from.end())
                      out.push_back(c);
                  else if (size_t k = size_t(it - from.begin()); k < to.size())
                      out.push_back(to[k]);
              }
              return str(fromCodepoints(out));
          }}},
        {"string-to-codepoints",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              RWXPValue out;
              for (UChar32 c : codepoints(stringArg(a[0], "string-to-codepoints")))
                  out.push_back(RWXPItem::makeInteger(c));
              return out;
          }}},
        {"codepoints-to-string",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              std::vector<UChar32> cps;
              for (const auto& item : a[0]) {
                  RWXPItem i = xdm::castToInteger(item);
                  cps.push_back(static_cast<UChar32>(i.decimal.toDouble()));
              }
              return str(fromCodepoints(cps));
          }}},
        {"compare",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              if (a[0].empty() || a[1].empty()) return RWXPValue();
              int c = stringArg(a[0], "compare").compare(stringArg(a[1], "compare"));
              return integer(c < 0 ? -1 : c > 0 ? 1 : 0);
          }}},
        {"matches",
         {2, 3,
          [](RWXPath2Evaluator& e, Args& a) {
              std::string flags = a.size() > 2 ? stringArg(a[2], "matches") : "";
              auto pattern = RWXPFunctionLibrary::regex(e, stringArg(a[1], "matches"), flags);
              UErrorCode status = U_ZERO_ERROR;
              icu::UnicodeString input = fromUtf8(stringArg(a[0], "matches"));
              std::unique_ptr<icu::RegexMatcher> m(pattern->matcher(input, status));
              return boolean(U_SUCCESS(status) && m->find(status));
          }}},
        {"replace",
         {3, 4,
          [](RWXPath2Evaluator& e, Args& a) {
              std::string flags = a.size() > 3 ? stringArg(a[3], "replace") : "";
              auto pattern = RWXPFunctionLibrary::regex(e, stringArg(a[1], "replace"), flags);
              UErrorCode status = U_ZERO_ERROR;
              icu::UnicodeString input = fromUtf8(stringArg(a[0], "replace"));
              std::unique_ptr<icu::RegexMatcher> m(pattern->matcher(input, status));
              icu::UnicodeString result =
                  m->replaceAll(fromUtf8(stringArg(a[2], "replace")), status);
              if (U_FAILURE(status)) fail("invalid replacement string");
              return str(toUtf8(result));
          }}},
        {"tokenize",
         {2, 3,
          [](RWXPath2Evaluator& e, Args& a) {
              std::string flags = a.size() > 2 ? stringArg(a[2], "tokenize") : "";
              std::string s = stringArg(a[0], "tokenize");
              RWXPValue out;
              if (s.empty()) return out;
              auto pattern = RWXPFunctionLibrary::regex(e, stringArg(a[1], "tokenize"), flags);
              UErrorCode status = U_ZERO_ERROR;
              icu::UnicodeString input = fromUtf8(s);
              std::unique_ptr<icu::RegexMatcher> m(pattern->matcher(input, status));
              int32_t last = 0;
              while (m->find(status) && U_SUCCESS(status)) {
                  int32_t start = m->start(status), end = m->end(status);
                  if (end == start) fail("tokenize() pattern matches the empty string");
                  out.push_back(
                      RWXPItem::makeString(toUtf8(input.tempSubStringBetween(last, start))));
                  last = end;
              }
              out.push_back(RWXPItem::makeString(toUtf8(input.tempSubStringBetween(last))));
              return out;
          }}},
        // Booleans and sequences.
        {"true", {0, 0, [](RWXPath2Evaluator&, Args&) { return boolean(true); }}},
        {"false", {0, 0, [](RWXPath2Evaluator&, Args&) { return boolean(false); }}},
        {"boolean",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) { return boolean(xdm::effectiveBooleanValue(a[0])); }}},
        {"not",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) { return boolean(!xdm::effectiveBooleanValue(a[0])); }}},
        {"exists", {1, 1, [](RWXPath2Evaluator&, Args& a) { return boolean(!a[0].empty()); }}},
        {"empty", {1, 1, [](RWXPath2Evaluator&, Args& a) { return boolean(a[0].empty()); }}},
        {"count",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return integer(static_cast<std::int64_t>(a[0].size()));
          }}},
        {"reverse",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              RWXPValue r(a[0].rbegin(), a[0].rend());
              return r;
          }}},
        {"distinct-values",
         {1, 2,
          [](RWXPath2Evaluator&, Args& a) {
              RWXPValue out;
              for (const auto& item : xdm::atomize(a[0])) {
                  bool seen = false;
                  for (const auto& o : out)
                      if (xdm::deepEqualAtomic(o, item)) {
                          seen = true;
                          break;
                      }
                  if (!seen) out.push_back(item);
              }
              return out;
          }}},
        {"index-of",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              RWXPValue out;
              auto search = optionalAtomic(a[1], "index-of");
              if (!search) fail("index-of() needs a value to search");
              RWXPValue atoms = xdm::atomize(a[0]);
              for (size_t i = 0; i < atoms.size(); ++i)
                  if (xdm::deepEqualAtomic(atoms[i], *search))
                      out.push_back(RWXPItem::makeInteger(static_cast<std::int64_t>(i + 1)));
              return out;
          }}},
        {"subsequence",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              double start = std::round(xdm::numberOf(xdm::atomize(a[1])));
              double end = a.size() > 2 ? start + std::round(xdm::numberOf(xdm::atomize(a[2])))
                                        : std::numeric_limits<double>::infinity();
              RWXPValue out;
              for (size_t i = 0; i < a[0].size(); ++i)
                  if (double(i + 1) >= start && double(i + 1) < end) out.push_back(a[0][i]);
              return out;
          }}},
        {"exactly-one",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              if (a[0].size() != 1)
                  fail("exactly-one() got " + std::to_string(a[0].size()) + " items");
              return a[0];
          }}},
        {"zero-or-one",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              if (a[0].size() > 1) fail("zero-or-one() got several items");
              return a[0];
          }}},
        {"one-or-more",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              if (a[0].empty()) fail("one-or-more() got no item");
              return a[0];
          }}},
        // Numbers.
        {"number",
         {0, 1,
          [](RWXPath2Evaluator& e, Args& a) {
              if (a.empty())
                  return single(
                      RWXPItem::makeDouble(xdm::numberOf(xdm::atomize(contextItemOrFail(e)))));
              auto item = optionalAtomic(a[0], "number");
              return single(RWXPItem::makeDouble(item ? xdm::numberOf(*item)
                                                      : std::numeric_limits<double>::quiet_NaN()));
          }}},
        {"sum",
         {1, 2,
          [](RWXPath2Evaluator&, Args& a) {
              if (a[0].empty()) return a.size() > 1 ? a[1] : integer(0);
              return single(addAll(a[0]));
          }}},
        {"avg",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              if (a[0].empty()) return RWXPValue();
              RWXPItem total = addAll(a[0]);
              return single(
                  xdm::arithmetic(RWXPTokenDiv, total,
                                  RWXPItem::makeInteger(static_cast<std::int64_t>(a[0].size()))));
          }}},
        {"min", {1, 2, [](RWXPath2Evaluator&, Args& a) { return minMax(a[0], false); }}},
        {"max", {1, 2, [](RWXPath2Evaluator&, Args& a) { return minMax(a[0], true); }}},
        {"abs",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              auto item = numericArg(a[0], "abs");
              if (!item) return RWXPValue();
              RWXPItem r = *item;
              if (r.kind == Kind::Double)
                  r.number = std::fabs(r.number);
              else
                  r.decimal = r.decimal.abs();
              return single(r);
          }}},
        {"floor",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return roundWith(a[0], "floor", platform::RoundingMode::Floor, 0,
                               [](double x) { return std::floor(x); });
          }}},
        {"ceiling",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return roundWith(a[0], "ceiling", platform::RoundingMode::Ceiling, 0,
                               [](double x) { return std::ceil(x); });
          }}},
        {"round",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return roundWith(a[0], "round", platform::RoundingMode::HalfCeiling, 0, roundHalfUp);
          }}},
        {"round-half-to-even",
         {1, 2,
          [](RWXPath2Evaluator&, Args& a) {
              std::int32_t digits = 0;
              if (a.size() > 1)
                  digits = static_cast<std::int32_t>(xdm::numberOf(xdm::atomize(a[1])));
              return roundWith(a[0], "round-half-to-even", platform::RoundingMode::HalfEven, digits,
                               roundHalfEven);
          }}},
        {"format-number",
         {2, 3,
          [](RWXPath2Evaluator&, Args& a) {
              auto item = numericArg(a[0], "format-number");
              double value = item ? xdm::numberOf(*item) : std::numeric_limits<double>::quiet_NaN();
              if (std::isnan(value)) return str("NaN");
              UErrorCode status = U_ZERO_ERROR;
              icu::DecimalFormatSymbols symbols(icu::Locale::getUS(), status);
              icu::DecimalFormat format(fromUtf8(stringArg(a[1], "format-number")), symbols,
                                        status);
              if (U_FAILURE(status)) fail("invalid format-number picture");
              format.setRoundingMode(icu::DecimalFormat::kRoundHalfEven);
              icu::UnicodeString out;
              if (item && item->kind != Kind::Double) {
                  std::string digits = item->decimal.toString();
                  icu::Formattable number(icu::StringPiece(digits), status);
                  format.format(number, out, status);
              } else {
                  format.format(value, out);
              }
              return str(toUtf8(out));
          }}},
        // Dates.
        {"current-date",
         {0, 0,
          [](RWXPath2Evaluator&, Args&) {
              std::time_t now = std::time(nullptr);
              std::tm local{};
              localtime_r(&now, &local);
              platform::Date d{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
              return single(RWXPItem::makeDate(d.daysSinceEpoch(), true,
                                               static_cast<int>(local.tm_gmtoff / 60)));
          }}},
        // Constructors.
        {"xs:decimal",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return constructor(a, xdm::castToDecimal, "xs:decimal");
          }}},
        {"xs:integer",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return constructor(a, xdm::castToInteger, "xs:integer");
          }}},
        {"xs:double",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return constructor(a, xdm::castToDouble, "xs:double");
          }}},
        {"xs:float",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return constructor(a, xdm::castToDouble, "xs:float");
          }}},
        {"xs:string",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return constructor(a, xdm::castToString, "xs:string");
          }}},
        {"xs:boolean",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) {
              return constructor(a, xdm::castToBoolean, "xs:boolean");
          }}},
        {"xs:date",
         {1, 1,
          [](RWXPath2Evaluator&, Args& a) { return constructor(a, xdm::castToDate, "xs:date"); }}},
        // A tolerance comparison some schemas call: b lies within a ± c.
        {"u:slack",
         {3, 3,
          [](RWXPath2Evaluator&, Args& a) {
              double x = xdm::numberOf(xdm::atomize(a[0])), y = xdm::numberOf(xdm::atomize(a[1])),
                     c = xdm::numberOf(xdm::atomize(a[2]));
              return boolean(x - c <= y && y <= x + c);
          }}},
    };
    return functions;
}

bool RWXPath2Evaluator::isKnownFunction(const std::string& name, size_t arity) const {
    if (customFunctions_.count(name)) return true;
    std::string key = name.rfind("fn:", 0) == 0 ? name.substr(3) : name;
    const auto& table = RWXPFunctionLibrary::table();
    auto it = table.find(key);
    return it != table.end() && arity >= it->second.minArgs && arity <= it->second.maxArgs;
}

RWXPValue RWXPath2Evaluator::evaluateFunction(const std::string& name,
                                              std::vector<RWXPValue>& arguments) {
    auto custom = customFunctions_.find(name);
    if (custom != customFunctions_.end()) {
        auto function = custom->second;  // the table may change during the call
        return RWXPFunctionLibrary::callCustom(*this, *function, arguments);
    }
    std::string key = name.rfind("fn:", 0) == 0 ? name.substr(3) : name;
    const auto& table = RWXPFunctionLibrary::table();
    auto it = table.find(key);
    // A call the engine cannot make must not pass for an empty result.
    if (it == table.end())
        fail("unknown function " + name + "#" + std::to_string(arguments.size()));
    if (arguments.size() < it->second.minArgs || arguments.size() > it->second.maxArgs)
        fail(name + "() called with " + std::to_string(arguments.size()) + " arguments");
    return it->second.impl(*this, arguments);
}

const void* RWXPath2Evaluator::builtinFunction(const std::string& name, size_t arity) const {
    std::string key = name.rfind("fn:", 0) == 0 ? name.substr(3) : name;
    const auto& table = RWXPFunctionLibrary::table();
    auto it = table.find(key);
    if (it == table.end() || arity < it->second.minArgs || arity > it->second.maxArgs)
        return nullptr;
    return &it->second;
}

RWXPValue RWXPath2Evaluator::evaluateFunctionCall(const RWXPFunctionCallNode& call,
                                                  std::vector<RWXPValue>& arguments) {
    if (!call.builtin) return evaluateFunction(call.name, arguments);
    return static_cast<const RWXPFunctionLibrary::Entry*>(call.builtin)->impl(*this, arguments);
}

}  // namespace ruleweave
