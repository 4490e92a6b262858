// Running a parsed schema against a document.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/XPathContext.h"
#include "ruleweave/RWSchematronValidator.h"

namespace ruleweave {
namespace {

// The alternatives of a rule context pattern, split at '|' outside brackets and strings.
std::vector<std::string> patternBranches(const std::string& pattern) {
    std::vector<std::string> branches;
    std::string current;
    int depth = 0;
    char quote = 0;
    for (char c : pattern) {
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

// The nodes a rule context matches, as an XSLT match pattern does: a relative pattern matches
// wherever it stands in the document.
template <class OnFailure>
RWXPValue matchedNodes(RWXPath2Evaluator& evaluator, const std::string& context,
                       xmlNodePtr documentNode, OnFailure&& failed) {
    RWXPValue nodes;
    for (const auto& branch : patternBranches(context)) {
        if (branch.empty()) continue;
        std::string expression = branch[0] == '/' ? branch : "//" + branch;
        RWXPValue found = evaluator.evaluate(expression, documentNode);
        failed("context " + branch);
        for (auto& item : found)
            if (item.isNode()) nodes.push_back(std::move(item));
    }
    xdm::sortDocumentOrder(nodes);
    return nodes;
}

// Binds the lets in order; `failed` hears of each value the engine could not evaluate.
template <class OnFailure>
void bindLets(RWXPath2Evaluator& evaluator, const std::vector<SchematronLet>& lets,
              xmlNodePtr context, OnFailure&& failed) {
    for (const auto& let : lets) {
        if (!let.name) continue;
        evaluator.setVariable(*let.name,
                              let.value ? evaluator.evaluate(*let.value, context) : RWXPValue());
        if (let.value) failed("$" + *let.name);
    }
}

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

std::optional<std::string> documentCustomizationID(xmlDocPtr doc) {
    platform::XPathContext xpath(doc);
    for (const char* query :
         {"//*[local-name()='CustomizationID']",
          "//*[local-name()='GuidelineSpecifiedDocumentContextParameter']/*[local-name()='ID']"}) {
        platform::XmlNode node = xpath.firstNode(query);
        if (node) {
            std::string value = node.stringValue();
            if (!value.empty()) return value;
        }
    }
    return std::nullopt;
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

RWValidationResult RWSchematronValidator::validateDocument(const platform::XmlDocument& document,
                                                           const SchematronSchema& schema,
                                                           platform::Error*) {
    auto& slot = evaluators_[&schema];
    if (!slot) {
        slot = std::make_unique<RWXPath2Evaluator>(
            RWXPath2Evaluator::NamespaceMap(schema.namespaces.begin(), schema.namespaces.end()));
        for (const auto& f : schema.functions) {
            std::vector<RWXPCustomFunction::LocalVariable> variables;
            for (const auto& [name, select] : f.variables) variables.push_back({name, select});
            slot->registerFunction(f.name, f.parameters, f.bodyExpression, variables);
        }
        if (schema.baseDirectory)
            slot->setDocumentLoader([this, base = *schema.baseDirectory](const std::string& uri) {
                return ruleDocument(base, uri);
            });
    }
    RWXPath2Evaluator& evaluator = *slot;
    evaluator.reset();
    // A schema given as text lives only for this call; its evaluator goes with it.
    struct Forget {
        std::unordered_map<const SchematronSchema*, std::unique_ptr<RWXPath2Evaluator>>& map;
        const SchematronSchema* key;
        bool cached;
        ~Forget() {
            if (!cached) map.erase(key);
        }
    } forget{evaluators_, &schema, false};
    for (const auto& [path, cachedSchema] : parsedSchemas_)
        forget.cached = forget.cached || cachedSchema.get() == &schema;
    xmlDocPtr doc = document.raw();
    xmlNodePtr documentNode = reinterpret_cast<xmlNodePtr>(doc);
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
    bindLets(evaluator, schema.lets, documentNode, noteProblem);
    const bool xrechnung = inXRechnungContext(doc);
    for (const auto& pattern : schema.patterns) {
        if (pattern.patternId == std::optional<std::string>("variable-pattern")) continue;
        bindLets(evaluator, pattern.lets, documentNode, noteProblem);
        // Within a pattern a node is handled by the first rule whose context matches it.
        std::unordered_set<xmlNodePtr> claimed;
        std::vector<std::pair<xmlNodePtr, const SchematronRule*>> work;
        for (const auto& rule : pattern.rules) {
            if (rule.abstract || !rule.context) continue;
            for (const auto& item :
                 matchedNodes(evaluator, *rule.context, documentNode, noteProblem))
                if (claimed.insert(item.node).second) work.emplace_back(item.node, &rule);
        }
        std::stable_sort(work.begin(), work.end(), [](const auto& a, const auto& b) {
            return a.first != b.first && xdm::nodeBefore(a.first, b.first);
        });
        for (const auto& [node, rule] : work) {
            // Rule variables live for this rule and context only.
            std::vector<std::pair<std::string, std::optional<RWXPValue>>> shadowed;
            for (const auto& let : rule->lets)
                if (let.name)
                    shadowed.emplace_back(
                        *let.name, evaluator.hasVariable(*let.name)
                                       ? std::optional<RWXPValue>(evaluator.getVariable(*let.name))
                                       : std::nullopt);
            bindLets(evaluator, rule->lets, node, noteProblem);
            for (const auto& assertion : rule->assertions) {
                bool value = assertion.test && toBoolean(evaluator.evaluate(*assertion.test, node));
                if (assertion.test && noteProblem(assertion.assertionId.value_or(*assertion.test)))
                    continue;
                bool fires = assertion.type == "assert" ? !value : value;
                if (!fires) continue;
                RWValidationError finding;
                finding.pattern = pattern.patternId;
                finding.rule = rule->ruleId;
                finding.assertion = finding.assertionId = assertion.assertionId;
                finding.type = assertion.type;
                finding.test = assertion.test;
                finding.context = rule->context;
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
    auto schema = schemaForFile(schemaFile, error);
    if (!schema) return std::nullopt;
    auto document = platform::XmlDocument::parse(xml, error);
    if (!document) return std::nullopt;
    return validateDocument(*document, *schema, error);
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
