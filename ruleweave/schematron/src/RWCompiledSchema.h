// A Schematron schema with every expression parsed once and its rule contexts planned for one
// walk of the document. Immutable after compile(), so threads share it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "ruleweave/RWSchematronValidator.h"
#include "ruleweave/RWXPath2Evaluator.h"
#include "ruleweave/SchematronSchema.h"

namespace ruleweave {

struct RWCompiledExpression {
    const std::string* text = nullptr;  // the schema's text, for problem reports
    RWXPNodePtr tree;                   // none when it could not be parsed
    std::string parseProblem;
};

struct RWCompiledLet {
    const SchematronLet* let = nullptr;
    RWCompiledExpression value;
};

// One step of a rule context read as an XSLT match pattern, tested from the node upwards.
struct RWMatchStep {
    bool attribute = false;
    bool anyName = false;
    bool hasNamespace = false;
    std::string localName;
    std::string namespaceURI;
    std::vector<RWXPNodePtr> predicates;
    bool readsPosition = false;  // a predicate may call position() or last()
    bool descendant = false;     // '//' before this step (for the first: anywhere in the document)
};

struct RWCompiledRule {
    const SchematronRule* rule = nullptr;
    std::vector<std::string> branches;                 // the context's alternatives
    std::vector<RWCompiledExpression> branchPaths;     // each as the path "//branch" or "/..."
    std::vector<std::vector<RWMatchStep>> matchSteps;  // each as a match pattern (walked patterns)
    std::vector<RWCompiledLet> lets;
    struct Assertion {
        const SchematronAssertion* assertion = nullptr;
        RWCompiledExpression test;
    };
    std::vector<Assertion> assertions;
};

struct RWCompiledPattern {
    const SchematronPattern* pattern = nullptr;
    // Contexts matched in the document walk; otherwise each context is evaluated as a path
    // when the pattern runs (contexts the match patterns cannot express).
    bool walked = false;
    std::vector<RWCompiledLet> lets;
    std::vector<RWCompiledRule> rules;
};

// The alternatives of a rule context, split at '|' outside brackets and strings, trimmed.
std::vector<std::string> contextBranches(const std::string& context);

class RWCompiledSchema {
  public:
    static std::shared_ptr<const RWCompiledSchema> compile(
        std::shared_ptr<const SchematronSchema> schema);

    // An evaluator with the schema's namespaces and functions, for one thread.
    std::unique_ptr<RWXPath2Evaluator> newEvaluator() const;

    std::shared_ptr<const SchematronSchema> schema;
    std::vector<RWCompiledLet> lets;
    std::vector<RWCompiledPattern> patterns;

    // Walked rules by the local name their context's last step tests, in schema order.
    struct Candidate {
        std::uint32_t pattern, rule, branch;
    };
    std::unordered_map<std::string, std::vector<Candidate>> elementCandidates;
    std::unordered_map<std::string, std::vector<Candidate>> attributeCandidates;
    std::vector<Candidate> anyElementCandidates;  // last step "*" or "prefix:*"
    std::vector<Candidate> anyAttributeCandidates;

  private:
    RWCompiledExpression parse(RWXPath2Evaluator& evaluator, const std::string& text) const;
    void planRule(RWXPath2Evaluator& evaluator, RWCompiledRule& rule, bool& walkable,
                  const std::vector<std::string>& patternLetNames) const;
};

struct RWSchematronValidator::SharedSchemas {
    std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<const RWCompiledSchema>> byPath;
};

}  // namespace ruleweave
