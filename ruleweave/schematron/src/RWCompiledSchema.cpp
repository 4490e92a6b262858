// Compiling a Schematron schema: every expression parsed once, rule contexts as match patterns.
#include "RWCompiledSchema.h"

#include <algorithm>
#include <cctype>

namespace ruleweave {
namespace {

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The text up to the bracket that closes the one at `open`; npos when it is not closed.
size_t closingBracket(const std::string& text, size_t open) {
    int depth = 0;
    char quote = 0;
    for (size_t i = open; i < text.size(); ++i) {
        char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '[' || c == '(') {
            ++depth;
        } else if (c == ']' || c == ')') {
            if (--depth == 0) return c == ']' ? i : std::string::npos;
        }
    }
    return std::string::npos;
}

// The names of the variables a text refers to ($name), as far as they can be read from it.
std::vector<std::string> variableReferences(const std::string& text) {
    std::vector<std::string> names;
    for (size_t i = text.find('$'); i != std::string::npos; i = text.find('$', i + 1)) {
        size_t end = i + 1;
        while (end < text.size() && (isNameChar(text[end]) || text[end] == ':')) ++end;
        names.push_back(text.substr(i + 1, end - i - 1));
    }
    return names;
}

}  // namespace

// The alternatives of a rule context pattern, split at '|' outside brackets and strings.
std::vector<std::string> contextBranches(const std::string& context) {
    std::vector<std::string> branches;
    std::string current;
    int depth = 0;
    char quote = 0;
    for (char c : context) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(' || c == '[') {
            ++depth;
        } else if (c == ')' || c == ']') {
            --depth;
        } else if (c == '|' && depth == 0) {
            branches.push_back(current);
            current.clear();
            continue;
        }
        current.push_back(c);
    }
    branches.push_back(current);
    for (auto& b : branches) {
        size_t start = b.find_first_not_of(" \t\r\n");
        size_t end = b.find_last_not_of(" \t\r\n");
        b = start == std::string::npos ? std::string() : b.substr(start, end - start + 1);
    }
    return branches;
}

RWCompiledExpression RWCompiledSchema::parse(RWXPath2Evaluator& evaluator,
                                             const std::string& text) const {
    RWCompiledExpression compiled;
    compiled.text = &text;
    compiled.tree = evaluator.parse(text);
    if (!compiled.tree) {
        auto diagnostics = evaluator.parseDiagnostics(text);
        if (!diagnostics.empty()) compiled.parseProblem = diagnostics.front();
    }
    return compiled;
}

namespace {

// A branch of a rule context as a chain of name steps with predicates ("a/b[p]//@c"), the
// form whose matches can be decided from the node upwards. False for anything else.
bool planMatch(RWXPath2Evaluator& evaluator, const std::string& branch,
               const std::vector<std::string>& patternLetNames,
               const std::vector<std::string>& functionNames, std::vector<RWMatchStep>& steps) {
    size_t i = 0;
    bool descendant = true;  // a relative pattern matches anywhere
    if (branch.rfind("//", 0) == 0) {
        i = 2;
    } else if (branch.rfind("/", 0) == 0) {
        i = 1;
        descendant = false;
    }
    for (;;) {
        RWMatchStep step;
        step.descendant = descendant;
        if (i < branch.size() && branch[i] == '@') {
            step.attribute = true;
            ++i;
        }
        size_t start = i;
        while (i < branch.size() && (isNameChar(branch[i]) || branch[i] == ':' || branch[i] == '*'))
            ++i;
        std::string name = branch.substr(start, i - start);
        size_t colon = name.find(':');
        if (name == "*") {
            step.anyName = true;
        } else if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0])) ||
                   name.find("::") != std::string::npos ||
                   (colon != std::string::npos && name.find(':', colon + 1) != std::string::npos)) {
            return false;
        } else if (colon != std::string::npos) {
            if (step.attribute) return false;
            auto uri = evaluator.namespaceForPrefix(name.substr(0, colon));
            std::string local = name.substr(colon + 1);
            if (!uri || local.empty()) return false;
            step.hasNamespace = true;
            step.namespaceURI = *uri;
            if (local == "*")
                step.anyName = true;
            else if (local.find('*') != std::string::npos ||
                     !std::isalpha(static_cast<unsigned char>(local[0])))
                return false;
            else
                step.localName = local;
        } else if (name.find('*') != std::string::npos) {
            return false;
        } else {
            step.localName = name;
        }
        while (i < branch.size() && branch[i] == '[') {
            size_t close = closingBracket(branch, i);
            if (close == std::string::npos) return false;
            std::string text = branch.substr(i + 1, close - i - 1);
            i = close + 1;
            RWXPNodePtr predicate = evaluator.parse(text);
            if (!predicate || !evaluator.parseDiagnostics(text).empty()) return false;
            // Variables of a pattern are bound only when their pattern runs.
            for (const auto& name : variableReferences(text))
                if (std::count(patternLetNames.begin(), patternLetNames.end(), name)) return false;
            // position() and last() need the siblings; so may a function of the schema.
            if (text.find("position") != std::string::npos ||
                text.find("last") != std::string::npos ||
                std::any_of(functionNames.begin(), functionNames.end(), [&](const std::string& f) {
                    return text.find(f) != std::string::npos;
                }))
                step.readsPosition = true;
            step.predicates.push_back(std::move(predicate));
        }
        steps.push_back(std::move(step));
        if (i == branch.size()) return true;
        if (branch[i] != '/' || steps.back().attribute) return false;
        ++i;
        descendant = i < branch.size() && branch[i] == '/';
        if (descendant) ++i;
    }
}

}  // namespace

void RWCompiledSchema::planRule(RWXPath2Evaluator& evaluator, RWCompiledRule& rule, bool& walkable,
                                const std::vector<std::string>& patternLetNames) const {
    rule.branches = contextBranches(*rule.rule->context);
    rule.branchPaths.reserve(rule.branches.size());
    rule.matchSteps.resize(rule.branches.size());
    for (size_t b = 0; b < rule.branches.size(); ++b) {
        const std::string& branch = rule.branches[b];
        // As an XSLT match pattern: a relative pattern matches wherever it stands.
        rule.branchPaths.push_back(
            parse(evaluator, branch.empty() || branch[0] == '/' ? branch : "//" + branch));
        rule.branchPaths.back().text = &branch;
        if (branch.empty()) continue;
        const bool clean =
            rule.branchPaths.back().tree &&
            evaluator.parseDiagnostics(branch[0] == '/' ? branch : "//" + branch).empty();
        std::vector<std::string> functionNames;
        for (const auto& f : schema->functions) functionNames.push_back(f.name);
        if (!clean ||
            !planMatch(evaluator, branch, patternLetNames, functionNames, rule.matchSteps[b]))
            walkable = false;
    }
}

std::unique_ptr<RWXPath2Evaluator> RWCompiledSchema::newEvaluator() const {
    auto evaluator = std::make_unique<RWXPath2Evaluator>(
        RWXPath2Evaluator::NamespaceMap(schema->namespaces.begin(), schema->namespaces.end()));
    for (const auto& f : schema->functions) {
        std::vector<RWXPCustomFunction::LocalVariable> variables;
        for (const auto& [name, select] : f.variables) variables.push_back({name, select});
        evaluator->registerFunction(f.name, f.parameters, f.bodyExpression, variables);
    }
    return evaluator;
}

std::shared_ptr<const RWCompiledSchema> RWCompiledSchema::compile(
    std::shared_ptr<const SchematronSchema> schema) {
    auto compiled = std::make_shared<RWCompiledSchema>();
    compiled->schema = std::move(schema);
    const SchematronSchema& s = *compiled->schema;
    // Trees parsed here are shared by every evaluator of the schema: the same namespaces and
    // functions give the same trees.
    auto evaluator = compiled->newEvaluator();
    auto compileLets = [&](const std::vector<SchematronLet>& lets) {
        std::vector<RWCompiledLet> out;
        for (const auto& let : lets) {
            RWCompiledLet c;
            c.let = &let;
            if (let.value) c.value = compiled->parse(*evaluator, *let.value);
            out.push_back(std::move(c));
        }
        return out;
    };
    compiled->lets = compileLets(s.lets);
    std::vector<std::string> patternLetNames;
    for (const auto& pattern : s.patterns)
        for (const auto& let : pattern.lets)
            if (let.name) patternLetNames.push_back(*let.name);

    compiled->patterns.resize(s.patterns.size());
    for (size_t p = 0; p < s.patterns.size(); ++p) {
        const SchematronPattern& pattern = s.patterns[p];
        RWCompiledPattern& cp = compiled->patterns[p];
        cp.pattern = &pattern;
        cp.lets = compileLets(pattern.lets);
        bool walkable = pattern.patternId != std::optional<std::string>("variable-pattern");
        size_t ruleCount = 0;
        for (const auto& rule : pattern.rules) ruleCount += !rule.abstract && rule.context;
        cp.rules.resize(ruleCount);
        size_t r = 0;
        for (const auto& rule : pattern.rules) {
            if (rule.abstract || !rule.context) continue;
            RWCompiledRule& cr = cp.rules[r++];
            cr.rule = &rule;
            compiled->planRule(*evaluator, cr, walkable, patternLetNames);
            cr.lets = compileLets(rule.lets);
            for (const auto& assertion : rule.assertions) {
                RWCompiledRule::Assertion a;
                a.assertion = &assertion;
                if (assertion.test) a.test = compiled->parse(*evaluator, *assertion.test);
                cr.assertions.push_back(std::move(a));
            }
        }
        cp.walked = walkable && !cp.rules.empty();
        if (!cp.walked) continue;
        for (size_t rr = 0; rr < cp.rules.size(); ++rr)
            for (size_t b = 0; b < cp.rules[rr].matchSteps.size(); ++b) {
                const auto& steps = cp.rules[rr].matchSteps[b];
                if (steps.empty()) continue;
                Candidate c{std::uint32_t(p), std::uint32_t(rr), std::uint32_t(b)};
                const RWMatchStep& last = steps.back();
                if (last.attribute)
                    (last.anyName ? compiled->anyAttributeCandidates
                                  : compiled->attributeCandidates[last.localName])
                        .push_back(c);
                else
                    (last.anyName ? compiled->anyElementCandidates
                                  : compiled->elementCandidates[last.localName])
                        .push_back(c);
            }
    }
    return compiled;
}

}  // namespace ruleweave
