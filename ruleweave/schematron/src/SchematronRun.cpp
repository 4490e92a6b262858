// Running a parsed schema against a document.
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "CatalogCache.h"
#include "RWCompiledSchema.h"
#include "platform/XPathContext.h"
#include "ruleweave/RWSchematronValidator.h"

namespace ruleweave {
namespace {

bool inXRechnungContext(xmlDocPtr doc) {
    auto id = documentCustomizationID(doc);
    if (!id) return false;
    std::string lower = *id;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower.find("xeinkauf") != std::string::npos ||
           lower.find("xrechnung") != std::string::npos;
}

}  // namespace

namespace {

bool hasLocalName(xmlNodePtr n, const char* name) {
    return n && n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST name);
}

// The first element in document order that `accepts`; a walk instead of a query, since every
// selection and run asks.
// The element after `n` in document order (its first child element, else the next sibling
// element of it or of its nearest ancestor that has one); none at the end. No recursion, so
// deep documents cost no stack.
xmlNodePtr nextElement(xmlNodePtr n) {
    for (xmlNodePtr c = n->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) return c;
    for (; n && n->type == XML_ELEMENT_NODE; n = n->parent)
        for (xmlNodePtr s = n->next; s; s = s->next)
            if (s->type == XML_ELEMENT_NODE) return s;
    return nullptr;
}

template <class Accept>
xmlNodePtr firstElement(xmlDocPtr doc, Accept&& accepts) {
    for (xmlNodePtr n = xmlDocGetRootElement(doc); n; n = nextElement(n))
        if (accepts(n)) return n;
    return nullptr;
}

}  // namespace

std::optional<std::string> documentCustomizationID(xmlDocPtr doc) {
    if (!doc) return std::nullopt;
    // As //*[local-name()='CustomizationID'], else
    // //*[local-name()='GuidelineSpecifiedDocumentContextParameter']/*[local-name()='ID']:
    // only the first match counts.
    xmlNodePtr node =
        firstElement(doc, [](xmlNodePtr n) { return hasLocalName(n, "CustomizationID"); });
    if (!node)
        node = firstElement(doc, [](xmlNodePtr n) {
            return hasLocalName(n, "ID") &&
                   hasLocalName(n->parent, "GuidelineSpecifiedDocumentContextParameter");
        });
    if (!node) return std::nullopt;
    std::string value = platform::XmlNode(node).stringValue();
    if (value.empty()) return std::nullopt;
    return value;
}

bool RWSchematronValidator::toBoolean(const RWXPValue& value) {
    try {
        return xdm::effectiveBooleanValue(value);
    } catch (const RWXPDynamicError&) {
        return true;  // several atomic values: something is there
    }
}

namespace {

// The prefixes the official validation reports write, whatever prefixes a document uses.
const std::unordered_map<std::string, std::string>& standardPrefixes() {
    static const std::unordered_map<std::string, std::string> prefixes = {
        {"urn:oasis:names:specification:ubl:schema:xsd:Invoice-2", "ubl"},
        {"urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2", "cn"},
        {"urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2", "cac"},
        {"urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2", "cbc"},
        {"urn:oasis:names:specification:ubl:schema:xsd:CommonExtensionComponents-2", "ext"},
        {"urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100", "rsm"},
        {"urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100",
         "ram"},
        {"urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100", "udt"},
        {"urn:un:unece:uncefact:data:standard:QualifiedDataType:100", "qdt"},
        {"urn:ferd:CrossIndustryDocument:invoice:1p0", "rsm"},
        {"urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:12",
         "ram"},
        {"urn:un:unece:uncefact:data:standard:UnqualifiedDataType:15", "udt"},
        {"urn:un:unece:uncefact:data:standard:QualifiedDataType:12", "qdt"},
    };
    return prefixes;
}

bool sameName(xmlNodePtr a, xmlNodePtr b) {
    if (!xmlStrEqual(a->name, b->name)) return false;
    const xmlChar* ua = a->ns ? a->ns->href : nullptr;
    const xmlChar* ub = b->ns ? b->ns->href : nullptr;
    return ua == ub || (ua && ub && xmlStrEqual(ua, ub));
}

}  // namespace

std::string RWSchematronValidator::getNodePath(xmlNodePtr node) {
    std::vector<std::string> steps;
    for (xmlNodePtr n = node; n && n->type == XML_ELEMENT_NODE; n = n->parent) {
        std::string name = platform::XmlNode(n).name();
        if (n->ns && n->ns->href) {
            auto known = standardPrefixes().find(reinterpret_cast<const char*>(n->ns->href));
            if (known != standardPrefixes().end())
                name = known->second + ":" + reinterpret_cast<const char*>(n->name);
        }
        long position = 1;
        for (xmlNodePtr s = n->prev; s; s = s->prev)
            if (s->type == XML_ELEMENT_NODE && sameName(s, n)) ++position;
        steps.push_back(name + "[" + std::to_string(position) + "]");
    }
    std::string path;
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) path += "/" + *it;
    return path.empty() ? "/" : path;
}

std::string RWSchematronValidator::evaluateMessageWithValueOf(xmlNodePtr messageElement,
                                                              RWXPath2Evaluator& evaluator,
                                                              xmlNodePtr contextNode,
                                                              platform::Error*) {
    std::string message;
    for (xmlNodePtr child = messageElement ? messageElement->children : nullptr; child;
         child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            if (child->content) message += reinterpret_cast<const char*>(child->content);
        } else if (child->type == XML_ELEMENT_NODE &&
                   xmlStrEqual(child->name, BAD_CAST "value-of")) {
            xmlChar* select = xmlGetNoNsProp(child, BAD_CAST "select");
            if (!select) continue;
            RWXPValue value =
                evaluator.evaluate(reinterpret_cast<const char*>(select), contextNode);
            xmlFree(select);
            // As XSLT's value-of: every item, separated by a blank.
            for (size_t i = 0; i < value.size(); ++i)
                message += (i ? " " : "") + xdm::stringOf(value[i]);
        } else if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST "name")) {
            if (contextNode && contextNode->type == XML_ELEMENT_NODE && contextNode->name)
                message += reinterpret_cast<const char*>(contextNode->name);
        }
    }
    return message;
}

RWSchematronValidator::RWSchematronValidator()
    : catalogCacheDirectory_(defaultCatalogCacheDirectory()),
      shared_(std::make_shared<SharedSchemas>()) {}
RWSchematronValidator::~RWSchematronValidator() = default;
RWSchematronValidator::RWSchematronValidator(RWSchematronValidator&&) noexcept = default;
RWSchematronValidator& RWSchematronValidator::operator=(RWSchematronValidator&&) noexcept = default;

std::unique_ptr<RWSchematronValidator> RWSchematronValidator::sharingSchemas() const {
    auto other = std::make_unique<RWSchematronValidator>();
    other->catalog_ = catalog_;
    other->rulesRoots_ = rulesRoots_;
    other->catalogCacheDirectory_ = catalogCacheDirectory_;
    other->shared_ = shared_;
    return other;
}

namespace {

using Work = std::vector<std::pair<xmlNodePtr, const RWCompiledRule*>>;

bool sameText(const xmlChar* a, const std::string& b) {
    return a && std::strcmp(reinterpret_cast<const char*>(a), b.c_str()) == 0;
}

// Decides which rules' contexts match each node, visiting every element (and, when a rule asks
// for them, attribute) once, in document order, as the contexts of the official XSLT do:
// within a pattern a node belongs to the first rule that matches it.
class ContextWalk {
  public:
    ContextWalk(RWXPath2Evaluator& evaluator, const RWCompiledSchema& schema,
                std::vector<Work>& work, std::vector<char>& failed)
        : e_(evaluator), schema_(schema), work_(work), failed_(failed) {}

    void run(xmlDocPtr doc) {
        const bool attributes =
            !schema_.attributeCandidates.empty() || !schema_.anyAttributeCandidates.empty();
        xmlNodePtr n = xmlDocGetRootElement(doc);
        while (n) {
            visit(n, elementCache_, schema_.elementCandidates, schema_.anyElementCandidates);
            if (attributes)
                for (xmlAttrPtr a = n->properties; a; a = a->next)
                    visit(reinterpret_cast<xmlNodePtr>(a), attributeCache_,
                          schema_.attributeCandidates, schema_.anyAttributeCandidates);
            n = nextElement(n);
        }
    }

  private:
    using Candidates = std::vector<RWCompiledSchema::Candidate>;
    using Cache = std::unordered_map<const xmlChar*, const Candidates*>;

    // Names come from the parser's dictionary, so one look-up by text per distinct name.
    const Candidates* candidatesFor(const xmlChar* name, Cache& cache,
                                    const std::unordered_map<std::string, Candidates>& byName) {
        auto [it, inserted] = cache.try_emplace(name, nullptr);
        if (inserted && name) {
            auto found = byName.find(reinterpret_cast<const char*>(name));
            if (found != byName.end()) it->second = &found->second;
        }
        return it->second;
    }

    void visit(xmlNodePtr n, Cache& cache,
               const std::unordered_map<std::string, Candidates>& byName, const Candidates& any) {
        const Candidates* named = candidatesFor(n->name, cache, byName);
        if (!named && any.empty()) return;
        const Candidates* list = named ? named : &any;
        if (named && !any.empty()) {
            merged_.assign(named->begin(), named->end());
            merged_.insert(merged_.end(), any.begin(), any.end());
            std::sort(merged_.begin(), merged_.end(), [](const auto& a, const auto& b) {
                return std::tie(a.pattern, a.rule, a.branch) <
                       std::tie(b.pattern, b.rule, b.branch);
            });
            list = &merged_;
        }
        std::uint32_t claimed = UINT32_MAX;
        for (const auto& c : *list) {
            if (c.pattern == claimed || failed_[c.pattern]) continue;
            const RWCompiledRule& rule = schema_.patterns[c.pattern].rules[c.rule];
            bool matched;
            try {
                matched =
                    matchAt(rule.matchSteps[c.branch], rule.matchSteps[c.branch].size() - 1, n);
            } catch (const RWXPDynamicError&) {
                failed_[c.pattern] = 1;  // the pattern's contexts are evaluated as paths instead
                continue;
            }
            if (matched) {
                work_[c.pattern].emplace_back(n, &rule);
                claimed = c.pattern;
            }
        }
    }

    static bool nameMatches(const RWMatchStep& step, xmlNodePtr n) {
        if (step.attribute) {
            if (n->type != XML_ATTRIBUTE_NODE) return false;
            if (step.anyName) return true;
            return sameText(n->name, step.localName) && (!n->ns || !n->ns->prefix);
        }
        if (n->type != XML_ELEMENT_NODE) return false;
        if (!step.anyName && !sameText(n->name, step.localName)) return false;
        if (!step.hasNamespace) return step.anyName || !n->ns;
        return n->ns && sameText(n->ns->href, step.namespaceURI);
    }

    // The node is kept by the step's predicates among its siblings, as a path step filters.
    bool keptAmongSiblings(const RWMatchStep& step, xmlNodePtr n) {
        xmlNodePtr owner = n->parent;
        if (!owner) return false;
        RWXPValue list;
        if (step.attribute) {
            for (xmlAttrPtr a = owner->properties; a; a = a->next)
                if (nameMatches(step, reinterpret_cast<xmlNodePtr>(a)))
                    list.push_back(RWXPItem::makeNode(reinterpret_cast<xmlNodePtr>(a)));
        } else {
            for (xmlNodePtr c = owner->children; c; c = c->next)
                if (nameMatches(step, c)) list.push_back(RWXPItem::makeNode(c));
        }
        for (const auto& predicate : step.predicates) list = e_.filterNodes(list, *predicate);
        return std::any_of(list.begin(), list.end(),
                           [n](const RWXPItem& item) { return item.node == n; });
    }

    bool stepMatches(const RWMatchStep& step, xmlNodePtr n) {
        if (!nameMatches(step, n)) return false;
        if (step.predicates.empty()) return true;
        if (step.readsPosition) return keptAmongSiblings(step, n);
        RWXPItem item = RWXPItem::makeNode(n);
        for (const auto& predicate : step.predicates) {
            RWXPValue v =
                e_.withFocus(item, 1, 1, [&] { return predicate->evaluateWithContext(e_); });
            // A number selects by position, which only the siblings can tell.
            if (v.size() == 1 && v.front().isNumeric()) return keptAmongSiblings(step, n);
            if (!xdm::effectiveBooleanValue(v)) return false;
        }
        return true;
    }

    bool matchAt(const std::vector<RWMatchStep>& steps, size_t i, xmlNodePtr n) {
        if (!stepMatches(steps[i], n)) return false;
        xmlNodePtr parent = n->parent;
        if (i == 0) {
            if (steps[0].descendant) return parent != nullptr;
            return parent &&
                   (parent->type == XML_DOCUMENT_NODE || parent->type == XML_HTML_DOCUMENT_NODE);
        }
        if (!steps[i].descendant)
            return parent && parent->type == XML_ELEMENT_NODE && matchAt(steps, i - 1, parent);
        for (xmlNodePtr a = parent; a && a->type == XML_ELEMENT_NODE; a = a->parent)
            if (matchAt(steps, i - 1, a)) return true;
        return false;
    }

    RWXPath2Evaluator& e_;
    const RWCompiledSchema& schema_;
    std::vector<Work>& work_;
    std::vector<char>& failed_;
    Cache elementCache_, attributeCache_;
    Candidates merged_;
};

}  // namespace

RWValidationResult RWSchematronValidator::validateDocument(const platform::XmlDocument& document,
                                                           const SchematronSchema& schema,
                                                           platform::Error*) {
    std::shared_ptr<const RWCompiledSchema> compiled;
    {
        std::lock_guard lock(shared_->mutex);
        for (const auto& [path, known] : shared_->byPath)
            if (known->schema.get() == &schema) compiled = known;
    }
    if (compiled) return run(document, *compiled);
    // A schema given as text lives only for this call; so do its compiled form and evaluator.
    compiled = RWCompiledSchema::compile(std::shared_ptr<const SchematronSchema>(
        std::shared_ptr<const SchematronSchema>(), &schema));
    struct Forget {
        RWSchematronValidator& validator;
        const RWCompiledSchema* key;
        ~Forget() { validator.evaluators_.erase(key); }
    } forget{*this, compiled.get()};
    return run(document, *compiled);
}

RWValidationResult RWSchematronValidator::run(const platform::XmlDocument& document,
                                              const RWCompiledSchema& compiled) {
    const SchematronSchema& schema = *compiled.schema;
    auto& slot = evaluators_[&compiled];
    if (!slot) {
        slot = compiled.newEvaluator();
        if (schema.baseDirectory)
            slot->setDocumentLoader([this, base = *schema.baseDirectory](const std::string& uri) {
                return ruleDocument(base, uri);
            });
    }
    RWXPath2Evaluator& evaluator = *slot;
    evaluator.reset();
    xmlDocPtr doc = document.raw();
    xmlNodePtr documentNode = reinterpret_cast<xmlNodePtr>(doc);
    // Element order indexes make document-order comparisons cheap for the whole run.
    xmlXPathOrderDocElems(doc);
    RWValidationResult result;
    // An expression the engine cannot evaluate decides nothing; it is counted once per run.
    RWEngineProblem problem;
    problem.ruleSet = schema.title.value_or("");
    auto noteProblem = [&](const std::optional<std::string>& what) {
        if (evaluator.lastError().empty()) return false;
        if (problem.count++ == 0)
            problem.firstMessage = (what ? *what + ": " : std::string()) + evaluator.lastError();
        return true;
    };
    auto evaluate = [&](const RWCompiledExpression& e, xmlNodePtr node) {
        return evaluator.evaluateParsed(e.tree.get(), e.parseProblem, node);
    };
    auto bindLets = [&](const std::vector<RWCompiledLet>& lets, xmlNodePtr context) {
        for (const auto& let : lets) {
            if (!let.let->name) continue;
            evaluator.setVariable(*let.let->name,
                                  let.let->value ? evaluate(let.value, context) : RWXPValue());
            if (let.let->value) noteProblem("$" + *let.let->name);
        }
    };
    bindLets(compiled.lets, documentNode);
    const bool xrechnung = inXRechnungContext(doc);

    // Contexts of the walked patterns, all in one pass; the global lets are bound, and their
    // predicates read no pattern's variables.
    std::vector<Work> work(compiled.patterns.size());
    std::vector<char> failed(compiled.patterns.size(), 0);
    if (std::any_of(compiled.patterns.begin(), compiled.patterns.end(),
                    [](const RWCompiledPattern& p) { return p.walked; }))
        ContextWalk(evaluator, compiled, work, failed).run(doc);

    for (size_t p = 0; p < compiled.patterns.size(); ++p) {
        const RWCompiledPattern& pattern = compiled.patterns[p];
        if (pattern.pattern->patternId == std::optional<std::string>("variable-pattern")) continue;
        bindLets(pattern.lets, documentNode);
        Work& nodes = work[p];
        if (!pattern.walked || failed[p]) {
            // Within a pattern a node is handled by the first rule whose context matches it.
            nodes.clear();
            std::unordered_set<xmlNodePtr> claimed;
            for (const auto& rule : pattern.rules) {
                RWXPValue matched;
                for (size_t b = 0; b < rule.branches.size(); ++b) {
                    if (rule.branches[b].empty()) continue;
                    RWXPValue found = evaluate(rule.branchPaths[b], documentNode);
                    noteProblem("context " + rule.branches[b]);
                    for (auto& item : found)
                        if (item.isNode()) matched.push_back(std::move(item));
                }
                xdm::sortDocumentOrder(matched);
                for (const auto& item : matched)
                    if (claimed.insert(item.node).second) nodes.emplace_back(item.node, &rule);
            }
            std::stable_sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) {
                return a.first != b.first && xdm::nodeBefore(a.first, b.first);
            });
        }
        for (const auto& [node, rule] : nodes) {
            // Rule variables live for this rule and context only.
            std::vector<std::pair<std::string, std::optional<RWXPValue>>> shadowed;
            for (const auto& let : rule->lets)
                if (let.let->name)
                    shadowed.emplace_back(
                        *let.let->name,
                        evaluator.hasVariable(*let.let->name)
                            ? std::optional<RWXPValue>(evaluator.getVariable(*let.let->name))
                            : std::nullopt);
            bindLets(rule->lets, node);
            for (const auto& compiledAssertion : rule->assertions) {
                const SchematronAssertion& assertion = *compiledAssertion.assertion;
                bool value = assertion.test && toBoolean(evaluate(compiledAssertion.test, node));
                if (assertion.test && noteProblem(assertion.assertionId.value_or(*assertion.test)))
                    continue;
                bool fires = assertion.type == "assert" ? !value : value;
                if (!fires) continue;
                const SchematronRule& sourceRule = *rule->rule;
                RWValidationError finding;
                finding.pattern = pattern.pattern->patternId;
                finding.rule = sourceRule.ruleId;
                finding.assertion = finding.assertionId = assertion.assertionId;
                finding.type = assertion.type;
                finding.test = assertion.test;
                finding.context = sourceRule.context;
                finding.order = result.errors.size() + result.warnings.size();
                finding.flag = assertion.flag;
                if (assertion.role) {
                    finding.role = assertion.role;
                } else if (xrechnung && assertion.assertionId &&
                           assertion.assertionId->rfind("PEPPOL-", 0) == 0) {
                    finding.role = "warning";
                } else {
                    finding.role = assertion.type == "assert" ? "error" : "info";
                }
                finding.message =
                    assertion.messageElement
                        ? evaluateMessageWithValueOf(assertion.messageElement, evaluator, node)
                        : assertion.message;
                finding.location = getNodePath(node);
                (finding.severity() == "Error" ? result.errors : result.warnings)
                    .push_back(std::move(finding));
            }
            for (auto& [name, old] : shadowed) {
                if (old)
                    evaluator.setVariable(name, std::move(*old));
                else
                    evaluator.removeVariable(name);
            }
        }
    }
    if (problem.count) result.engineProblems.push_back(std::move(problem));
    result.valid = result.errors.empty();
    return result;
}

std::optional<RWValidationResult> RWSchematronValidator::validateXMLWithSchemaFile(
    const std::string& xml, const std::filesystem::path& schemaFile, platform::Error* error) {
    auto schema = compiledSchemaForFile(schemaFile, error);
    if (!schema) return std::nullopt;
    auto document = platform::XmlDocument::parse(xml, error);
    if (!document) return std::nullopt;
    return run(*document, *schema);
}

std::optional<RWValidationResult> RWSchematronValidator::validateXMLWithSchema(
    const std::string& xml, const std::string& schemaText, platform::Error* error) {
    auto schema = parseSchema(schemaText, error);
    if (!schema) return std::nullopt;
    auto document = platform::XmlDocument::parse(xml, error);
    if (!document) return std::nullopt;
    return validateDocument(*document, *schema, error);
}

}  // namespace ruleweave

namespace ruleweave {

std::optional<RWValidationResult> validateWithSchematron(const platform::XmlDocument& document,
                                                         const std::string& schemaText,
                                                         platform::Error* error) {
    std::string xml = document.serialize(true);
    if (xml.empty()) {
        platform::setError(error, kRuleweaveDocumentErrorDomain, 1,
                           "Failed to serialize XML document");
        return std::nullopt;
    }
    RWSchematronValidator validator;
    return validator.validateXMLWithSchema(xml, schemaText, error);
}

std::optional<RWValidationResult> validateWithSchematronFile(
    const platform::XmlDocument& document, const std::filesystem::path& schemaFile,
    platform::Error* error) {
    // Unlike schema text, a file keeps its folder, so its includes are expanded.
    RWSchematronValidator validator;
    auto schema = validator.schemaForFile(schemaFile, error);
    if (!schema) return std::nullopt;
    return validator.validateDocument(document, *schema, error);
}

}  // namespace ruleweave
