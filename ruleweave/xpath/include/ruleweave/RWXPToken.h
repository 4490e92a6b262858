#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ruleweave/RWExport.h"

namespace RULEWEAVE_EXPORT ruleweave {

// Token types; the numbers are fixed (they appear in traces and tree descriptions).
enum RWXPTokenType : int {
    RWXPTokenNumber = 0,
    RWXPTokenString = 1,
    RWXPTokenIdent = 2,
    RWXPTokenLParen = 3,
    RWXPTokenRParen = 4,
    RWXPTokenLBracket = 5,
    RWXPTokenRBracket = 6,
    RWXPTokenSlash = 7,
    RWXPTokenDoubleSlash = 8,
    RWXPTokenAt = 9,
    RWXPTokenColon = 10,
    RWXPTokenComma = 11,
    RWXPTokenDot = 12,
    RWXPTokenDotDot = 13,
    RWXPTokenDollar = 14,
    RWXPTokenPipe = 15,
    RWXPTokenLessEqual = 16,
    RWXPTokenGreaterEqual = 17,
    RWXPTokenNotEqual = 18,
    RWXPTokenLess = 19,
    RWXPTokenGreater = 20,
    RWXPTokenEqual = 21,
    RWXPTokenPlus = 22,
    RWXPTokenMinus = 23,
    RWXPTokenStar = 24,
    RWXPTokenOr = 25,
    RWXPTokenAnd = 26,
    RWXPTokenDiv = 27,
    RWXPTokenIf = 28,
    RWXPTokenThen = 29,
    RWXPTokenElse = 30,
    RWXPTokenEvery = 31,
    RWXPTokenSome = 32,
    RWXPTokenFor = 33,
    RWXPTokenReturn = 34,
    RWXPTokenIn = 35,
    RWXPTokenSatisfies = 36,
    RWXPTokenEOF = 37,
    RWXPTokenQuestion = 38,  // occurrence indicator of a sequence type
    RWXPTokenPrecedes = 39,  // <<
    RWXPTokenFollows = 40,   // >>
};

// Operators that XPath 2.0 writes as names; they share the operator numbering of the tree.
enum RWXPNamedOperator : int {
    RWXPOpMod = 100,
    RWXPOpIdiv,
    RWXPOpValueEq,
    RWXPOpValueNe,
    RWXPOpValueLt,
    RWXPOpValueLe,
    RWXPOpValueGt,
    RWXPOpValueGe,
    RWXPOpTo,
    RWXPOpIntersect,
    RWXPOpExcept,
    RWXPOpIs,
};

struct RWXPToken {
    int type = RWXPTokenEOF;
    std::optional<std::string> value;

    static std::string tokenTypeName(int type);
    // "<NAME: value>"
    std::string description() const;
};

// The operator's source text for operator types, "Token(N)" otherwise.
std::string tokenTypeToString(int type);

// Cuts an expression into tokens; always ends with one EOF token. Never fails: unknown
// characters are logged and dropped.
std::vector<RWXPToken> tokenize(const std::string& expression);

}  // namespace ruleweave
