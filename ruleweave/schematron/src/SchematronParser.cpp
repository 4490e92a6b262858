// Reading a Schematron schema: include expansion, abstract pattern instantiation, the model.
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "RWCompiledSchema.h"
#include "platform/FileData.h"
#include "platform/Log.h"
#include "platform/XPathContext.h"
#include "ruleweave/RWSchematronValidator.h"

namespace ruleweave {
namespace fs = std::filesystem;
namespace {

bool isElement(xmlNodePtr n, const char* localName) {
    return n && n->type == XML_ELEMENT_NODE && xmlStrEqual(n->name, BAD_CAST localName);
}

std::optional<std::string> attribute(xmlNodePtr n, const char* name) {
    xmlChar* value = xmlGetNoNsProp(n, BAD_CAST name);
    if (!value) return std::nullopt;
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
}

std::vector<xmlNodePtr> elementChildren(xmlNodePtr n) {
    std::vector<xmlNodePtr> children;
    for (xmlNodePtr c = n ? n->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) children.push_back(c);
    return children;
}

// Replaces each include with the included content; nested includes resolve against their own
// file's folder. `open` guards against include cycles.
void expandIncludes(xmlDocPtr doc, xmlNodePtr node, const fs::path& base,
                    std::set<std::string>& open) {
    for (xmlNodePtr child : elementChildren(node)) {
        if (!isElement(child, "include")) {
            expandIncludes(doc, child, base, open);
            continue;
        }
        auto href = attribute(child, "href");
        if (!href) continue;
        fs::path path = (base / *href).lexically_normal();
        if (open.count(path.string())) {
            platform::logLine("Warning: Include cycle at file: " + path.string());
            xmlUnlinkNode(child);
            xmlFreeNode(child);
            continue;
        }
        auto text = platform::readFileData(path);
        if (!text) {
            platform::logLine("Warning: Could not load included file: " + path.string());
            continue;
        }
        auto included = platform::XmlDocument::parse(*text);
        if (!included || !included->root()) {
            platform::logLine("Warning: Could not parse included file: " + path.string());
            continue;
        }
        open.insert(path.string());
        xmlNodePtr root = included->root().raw();
        expandIncludes(included->raw(), root, path.parent_path(), open);
        open.erase(path.string());
        // A whole schema contributes its children; any other Schematron element stands in for
        // the include itself.
        std::vector<xmlNodePtr> content =
            isElement(root, "schema") ? elementChildren(root) : std::vector<xmlNodePtr>{root};
        for (xmlNodePtr item : content) {
            xmlNodePtr copy = xmlDocCopyNode(item, doc, 1);
            if (copy) xmlAddPrevSibling(child, copy);
        }
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
}

// "$name" → value in every attribute of the subtree, longest parameter names first.
void substituteParameters(xmlNodePtr node,
                          const std::vector<std::pair<std::string, std::string>>& params) {
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        xmlChar* raw = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
        std::string value = raw ? reinterpret_cast<const char*>(raw) : "";
        xmlFree(raw);
        if (value.find('$') == std::string::npos) continue;
        std::string out;
        for (size_t i = 0; i < value.size();) {
            bool replaced = false;
            if (value[i] == '$') {
                for (const auto& [name, replacement] : params) {
                    if (value.compare(i + 1, name.size(), name) == 0) {
                        out += replacement;
                        i += 1 + name.size();
                        replaced = true;
                        break;
                    }
                }
            }
            if (!replaced) out.push_back(value[i++]);
        }
        xmlSetProp(node, a->name, BAD_CAST out.c_str());
    }
    for (xmlNodePtr c = node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) substituteParameters(c, params);
}

void instantiateAbstractPatterns(xmlDocPtr doc) {
    platform::XPathContext xpath(doc);
    auto patterns = xpath.nodes("//*[local-name()='pattern']");
    std::map<std::string, xmlNodePtr> templates;
    for (auto p : patterns)
        if (attribute(p.raw(), "abstract") == std::optional<std::string>("true"))
            if (auto id = attribute(p.raw(), "id")) templates[*id] = p.raw();
    for (auto p : patterns) {
        xmlNodePtr instance = p.raw();
        auto isA = attribute(instance, "is-a");
        if (!isA) continue;
        auto found = templates.find(*isA);
        if (found == templates.end()) {
            platform::logLine("Warning: pattern " + attribute(instance, "id").value_or("?") +
                              " refers to unknown abstract pattern " + *isA);
            continue;
        }
        std::vector<std::pair<std::string, std::string>> params;
        for (xmlNodePtr child : elementChildren(instance)) {
            if (!isElement(child, "param")) continue;
            auto name = attribute(child, "name");
            auto value = attribute(child, "value");
            if (name && value) params.emplace_back(*name, *value);
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        std::stable_sort(params.begin(), params.end(), [](const auto& a, const auto& b) {
            return a.first.size() > b.first.size();
        });
        for (xmlNodePtr item : elementChildren(found->second)) {
            xmlNodePtr copy = xmlDocCopyNode(item, doc, 1);
            if (!copy) continue;
            substituteParameters(copy, params);
            xmlAddChild(instance, copy);
        }
    }
}

SchematronLet readLet(xmlNodePtr n) {
    return SchematronLet{attribute(n, "name"), attribute(n, "value")};
}

}  // namespace

std::string RWSchematronValidator::processIncludes(const std::string& text,
                                                   const fs::path& basePath, platform::Error*) {
    auto document = platform::XmlDocument::parse(text);
    if (!document || !document->root()) return text;
    std::set<std::string> open;
    expandIncludes(document->raw(), document->root().raw(), basePath, open);
    return document->serialize();
}

std::optional<SchematronSchema> RWSchematronValidator::parseSchema(
    const std::string& text, const std::optional<fs::path>& basePath, platform::Error* error) {
    auto document = platform::XmlDocument::parse(text, error);
    if (!document || !document->root()) return std::nullopt;
    xmlDocPtr doc = document->raw();
    if (basePath) {
        std::set<std::string> open;
        expandIncludes(doc, document->root().raw(), *basePath, open);
    }
    instantiateAbstractPatterns(doc);

    SchematronSchema schema;
    schema.document = document;
    schema.baseDirectory = basePath;
    platform::XPathContext xpath(doc);
    for (auto ns : xpath.nodes("//*[local-name()='ns']")) {
        auto prefix = attribute(ns.raw(), "prefix");
        auto uri = attribute(ns.raw(), "uri");
        if (prefix && uri) schema.namespaces[*prefix] = *uri;
    }
    for (auto f : xpath.nodes("//*[local-name()='function']")) {
        SchematronFunction function;
        auto name = attribute(f.raw(), "name");
        std::optional<std::string> body;
        for (xmlNodePtr child : elementChildren(f.raw())) {
            if (isElement(child, "param")) {
                if (auto p = attribute(child, "name")) function.parameters.push_back(*p);
            } else if (isElement(child, "variable")) {
                auto n = attribute(child, "name");
                auto s = attribute(child, "select");
                if (n && s) function.variables.emplace_back(*n, *s);
            } else if (isElement(child, "sequence") && !body) {
                body = attribute(child, "select");
            }
        }
        if (!name || !body) continue;
        function.name = *name;
        function.bodyExpression = *body;
        schema.functions.push_back(function);
    }
    xmlNodePtr root = document->root().raw();
    for (xmlNodePtr child : elementChildren(root)) {
        if (isElement(child, "title") && !schema.title)
            schema.title = platform::XmlNode(child).stringValue();
    }
    for (auto let :
         xpath.nodes("//*[local-name()='schema']/*[local-name()='let'] | "
                     "//*[local-name()='schema']/*[local-name()='pattern'][@id='variable-pattern']/"
                     "*[local-name()='let']"))
        schema.lets.push_back(readLet(let.raw()));

    for (auto p : xpath.nodes("//*[local-name()='pattern']")) {
        xmlNodePtr node = p.raw();
        // Abstract patterns are templates: only their instances run.
        if (attribute(node, "abstract") == std::optional<std::string>("true")) continue;
        SchematronPattern pattern;
        pattern.patternId = attribute(node, "id");
        pattern.name = attribute(node, "name");
        for (xmlNodePtr child : elementChildren(node)) {
            if (isElement(child, "let")) {
                pattern.lets.push_back(readLet(child));
                continue;
            }
            if (!isElement(child, "rule")) continue;
            SchematronRule rule;
            rule.context = attribute(child, "context");
            rule.ruleId = attribute(child, "id");
            rule.abstract = attribute(child, "abstract") == std::optional<std::string>("true");
            for (xmlNodePtr item : elementChildren(child)) {
                if (isElement(item, "let")) {
                    rule.lets.push_back(readLet(item));
                } else if (isElement(item, "assert") || isElement(item, "report")) {
                    SchematronAssertion assertion;
                    assertion.type = reinterpret_cast<const char*>(item->name);
                    assertion.assertionId = attribute(item, "id");
                    assertion.test = attribute(item, "test");
                    assertion.role = attribute(item, "role");
                    assertion.flag = attribute(item, "flag");
                    assertion.message = platform::XmlNode(item).stringValue();
                    assertion.messageElement = item;
                    rule.assertions.push_back(std::move(assertion));
                }
            }
            pattern.rules.push_back(std::move(rule));
        }
        schema.patterns.push_back(std::move(pattern));
    }
    return schema;
}

std::shared_ptr<const SchematronSchema> RWSchematronValidator::schemaForFile(
    const fs::path& path, platform::Error* error) {
    auto compiled = compiledSchemaForFile(path, error);
    return compiled ? compiled->schema : nullptr;
}

std::shared_ptr<const RWCompiledSchema> RWSchematronValidator::compiledSchemaForFile(
    const fs::path& path, platform::Error* error) {
    std::string key = fs::absolute(path).lexically_normal().string();
    // Held while compiling, so two threads asking for one schema compile it once.
    std::lock_guard lock(shared_->mutex);
    auto cached = shared_->byPath.find(key);
    if (cached != shared_->byPath.end()) return cached->second;
    auto text = platform::readFileData(path);
    if (!text) {
        platform::setError(error, kRuleweaveErrorDomain, 2,
                           "The schema file " + path.string() + " cannot be read.");
        return nullptr;
    }
    auto schema = parseSchema(*text, path.parent_path(), error);
    if (!schema) return nullptr;
    auto compiled =
        RWCompiledSchema::compile(std::make_shared<const SchematronSchema>(std::move(*schema)));
    shared_->byPath.emplace(key, compiled);
    return compiled;
}

}  // namespace ruleweave
