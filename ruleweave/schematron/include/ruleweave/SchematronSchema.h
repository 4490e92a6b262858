#pragma once

#include <libxml/tree.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/XmlDocument.h"
#include "ruleweave/RWExport.h"

namespace RULEWEAVE_EXPORT ruleweave {

struct SchematronLet {
    std::optional<std::string> name;
    std::optional<std::string> value;
};

struct SchematronAssertion {
    std::optional<std::string> assertionId;
    std::string type;  // "assert" or "report"
    std::optional<std::string> test;
    std::string message;
    xmlNodePtr messageElement = nullptr;  // lives as long as the schema's document
    std::optional<std::string> role;
    std::optional<std::string> flag;
};

struct SchematronRule {
    std::optional<std::string> context;
    std::vector<SchematronLet> lets;
    std::vector<SchematronAssertion> assertions;
    std::optional<std::string> ruleId;
    bool abstract = false;
};

struct SchematronPattern {
    std::optional<std::string> patternId;
    std::optional<std::string> name;
    std::vector<SchematronRule> rules;
    std::vector<SchematronLet> lets;
};

struct SchematronFunction {
    std::string name;
    std::vector<std::string> parameters;
    std::string bodyExpression;
    std::vector<std::pair<std::string, std::string>> variables;  // name, select
};

// A parsed Schematron schema with includes expanded and abstract patterns instantiated.
struct SchematronSchema {
    std::vector<SchematronPattern> patterns;
    std::map<std::string, std::string> namespaces;
    std::optional<std::string> queryBinding;
    std::vector<SchematronLet> lets;
    std::vector<SchematronFunction> functions;
    std::optional<std::string> title;
    // The folder of the schema file: includes and document() resolve against it.
    std::optional<std::filesystem::path> baseDirectory;
    // Keeps the message elements alive.
    std::shared_ptr<platform::XmlDocument> document;
};

}  // namespace ruleweave
