#include "ruleweave/RWXPToken.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdio>

#include "platform/Log.h"

namespace ruleweave {
namespace {

const char* const kPrintedNames[] = {"NUMBER", "STRING", "IDENT", "(",   ")",  "[",    "]",   "/",
                                     "//",     "@",      ":",     ",",   ".",  "..",   "$",   "|",
                                     "<=",     ">=",     "!=",    "<",   ">",  "=",    "+",   "-",
                                     "*",      "OR",     "AND",   "DIV", "IF", "THEN", "ELSE"};

struct Keyword {
    const char* text;
    int type;
};
const Keyword kKeywords[] = {
    {"or", RWXPTokenOr},         {"and", RWXPTokenAnd},   {"div", RWXPTokenDiv},
    {"if", RWXPTokenIf},         {"then", RWXPTokenThen}, {"else", RWXPTokenElse},
    {"every", RWXPTokenEvery},   {"some", RWXPTokenSome}, {"for", RWXPTokenFor},
    {"return", RWXPTokenReturn}, {"in", RWXPTokenIn},     {"satisfies", RWXPTokenSatisfies}};

bool isNameStart(UChar32 c) { return c == '_' || u_isalpha(c); }
// XML name characters: letters, digits, '.', '-', '_' and combining marks.
bool isNameChar(UChar32 c) {
    return c == '_' || c == '-' || c == '.' || u_isalnum(c) || u_getCombiningClass(c) != 0 ||
           c == 0xB7;
}

}  // namespace

std::string RWXPToken::tokenTypeName(int type) {
    if (type >= 0 && type <= RWXPTokenElse) return kPrintedNames[type];
    if (type == RWXPTokenEOF) return "EOF";
    return "UNKNOWN";
}

std::string RWXPToken::description() const {
    return "<" + tokenTypeName(type) + ": " + value.value_or("") + ">";
}

std::string tokenTypeToString(int type) {
    switch (type) {
        case RWXPTokenPipe:
            return "|";
        case RWXPTokenLessEqual:
            return "<=";
        case RWXPTokenGreaterEqual:
            return ">=";
        case RWXPTokenNotEqual:
            return "!=";
        case RWXPTokenLess:
            return "<";
        case RWXPTokenGreater:
            return ">";
        case RWXPTokenEqual:
            return "=";
        case RWXPTokenPlus:
            return "+";
        case RWXPTokenMinus:
            return "-";
        case RWXPTokenStar:
            return "*";
        case RWXPTokenOr:
            return "or";
        case RWXPTokenAnd:
            return "and";
        case RWXPTokenDiv:
            return "div";
        case RWXPOpMod:
            return "mod";
        case RWXPOpIdiv:
            return "idiv";
        case RWXPOpValueEq:
            return "eq";
        case RWXPOpValueNe:
            return "ne";
        case RWXPOpValueLt:
            return "lt";
        case RWXPOpValueLe:
            return "le";
        case RWXPOpValueGt:
            return "gt";
        case RWXPOpValueGe:
            return "ge";
        case RWXPOpTo:
            return "to";
        case RWXPOpIntersect:
            return "intersect";
        case RWXPOpExcept:
            return "except";
        case RWXPOpIs:
            return "is";
        case RWXPTokenPrecedes:
            return "<<";
        case RWXPTokenFollows:
            return ">>";
        default:
            return "Token(" + std::to_string(type) + ")";
    }
}

std::vector<RWXPToken> tokenize(const std::string& expression) {
    std::vector<RWXPToken> tokens;
    const auto* s = reinterpret_cast<const uint8_t*>(expression.data());
    const int32_t length = static_cast<int32_t>(expression.size());
    int32_t i = 0;
    auto add = [&tokens](int type, std::string value) {
        tokens.push_back(RWXPToken{type, std::move(value)});
    };
    auto at = [&](int32_t k) -> char { return k < length ? static_cast<char>(s[k]) : '\0'; };

    while (i < length) {
        char c = at(i);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
            continue;
        }
        // Comments (: ... :), which nest.
        if (c == '(' && at(i + 1) == ':') {
            int depth = 1;
            i += 2;
            while (i < length && depth > 0) {
                if (at(i) == '(' && at(i + 1) == ':') {
                    ++depth;
                    i += 2;
                } else if (at(i) == ':' && at(i + 1) == ')') {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            }
            continue;
        }
        if (c == '\'' || c == '"') {
            // A doubled quote stands for one quote character.
            std::string text;
            ++i;
            while (i < length) {
                if (at(i) == c) {
                    if (at(i + 1) == c) {
                        text.push_back(c);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text.push_back(at(i));
                ++i;
            }
            add(RWXPTokenString, std::move(text));
            continue;
        }
        if ((c >= '0' && c <= '9') || (c == '.' && at(i + 1) >= '0' && at(i + 1) <= '9')) {
            int32_t start = i;
            while (at(i) >= '0' && at(i) <= '9') ++i;
            if (at(i) == '.' && at(i + 1) != '.') {
                ++i;
                while (at(i) >= '0' && at(i) <= '9') ++i;
            }
            if ((at(i) == 'e' || at(i) == 'E')) {
                int32_t save = i;
                ++i;
                if (at(i) == '+' || at(i) == '-') ++i;
                if (at(i) >= '0' && at(i) <= '9') {
                    while (at(i) >= '0' && at(i) <= '9') ++i;
                } else {
                    i = save;
                }
            }
            add(RWXPTokenNumber,
                expression.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
            continue;
        }
        auto two = [&](char a, char b) { return c == a && at(i + 1) == b; };
        if (two('/', '/')) {
            add(RWXPTokenDoubleSlash, "//");
            i += 2;
            continue;
        }
        if (two('.', '.')) {
            add(RWXPTokenDotDot, "..");
            i += 2;
            continue;
        }
        if (two('<', '=')) {
            add(RWXPTokenLessEqual, "<=");
            i += 2;
            continue;
        }
        if (two('>', '=')) {
            add(RWXPTokenGreaterEqual, ">=");
            i += 2;
            continue;
        }
        if (two('!', '=')) {
            add(RWXPTokenNotEqual, "!=");
            i += 2;
            continue;
        }
        if (two('<', '<')) {
            add(RWXPTokenPrecedes, "<<");
            i += 2;
            continue;
        }
        if (two('>', '>')) {
            add(RWXPTokenFollows, ">>");
            i += 2;
            continue;
        }

        UChar32 cp;
        int32_t next = i;
        U8_NEXT(s, next, length, cp);
        if (cp >= 0 && isNameStart(cp)) {
            int32_t start = i;
            i = next;
            while (i < length) {
                int32_t after = i;
                UChar32 d;
                U8_NEXT(s, after, length, d);
                if (d < 0 || !isNameChar(d)) break;
                // A trailing '.' or '-' followed by nothing name-like still belongs to the name
                // in XPath 2.0, as in "$x-1".
                i = after;
            }
            std::string name =
                expression.substr(static_cast<size_t>(start), static_cast<size_t>(i - start));
            int type = RWXPTokenIdent;
            for (const auto& keyword : kKeywords)
                if (name == keyword.text) type = keyword.type;
            add(type, std::move(name));
            continue;
        }
        int type = -1;
        switch (c) {
            case '(':
                type = RWXPTokenLParen;
                break;
            case ')':
                type = RWXPTokenRParen;
                break;
            case '[':
                type = RWXPTokenLBracket;
                break;
            case ']':
                type = RWXPTokenRBracket;
                break;
            case '/':
                type = RWXPTokenSlash;
                break;
            case '@':
                type = RWXPTokenAt;
                break;
            case ':':
                type = RWXPTokenColon;
                break;
            case ',':
                type = RWXPTokenComma;
                break;
            case '.':
                type = RWXPTokenDot;
                break;
            case '$':
                type = RWXPTokenDollar;
                break;
            case '|':
                type = RWXPTokenPipe;
                break;
            case '<':
                type = RWXPTokenLess;
                break;
            case '>':
                type = RWXPTokenGreater;
                break;
            case '=':
                type = RWXPTokenEqual;
                break;
            case '+':
                type = RWXPTokenPlus;
                break;
            case '-':
                type = RWXPTokenMinus;
                break;
            case '*':
                type = RWXPTokenStar;
                break;
            case '?':
                type = RWXPTokenQuestion;
                break;
            default:
                break;
        }
        if (type >= 0) {
            add(type, std::string(1, c));
            ++i;
            continue;
        }
        // Anything else: report it and move on by one whole character.
        char buffer[64];
        std::string character =
            expression.substr(static_cast<size_t>(i), static_cast<size_t>(std::max(next - i, 1)));
        std::snprintf(buffer, sizeof buffer, " (0x%04x)",
                      cp < 0 ? static_cast<unsigned>(s[i]) : static_cast<unsigned>(cp));
        platform::logLine("Unknown character: " + character + buffer);
        i = std::max(next, i + 1);
    }
    tokens.push_back(RWXPToken{RWXPTokenEOF, std::nullopt});
    return tokens;
}

}  // namespace ruleweave
