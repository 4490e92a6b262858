#include "Reports.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "platform/JsonWriter.h"
#include "platform/XmlEscape.h"
#include "ruleweave/RWXPValue.h"

namespace ruleweave::cli {
namespace {

using platform::escapeXml;

std::vector<const RWValidationError*> allFindings(const RWValidationResult& result) {
    std::vector<const RWValidationError*> all;
    for (const auto* list : {&result.errors, &result.warnings})
        for (const auto& e : *list) all.push_back(&e);
    // Back into run order: rule set by rule set, each in the order its run found them.
    std::map<std::string, size_t> setOrder;
    for (size_t i = 0; i < result.ruleSets.size(); ++i)
        setOrder.emplace(result.ruleSets[i].name, i);
    // Schematron findings first, then XSD ones (a profile's XSD shares its rule set's name).
    auto rank = [&](const RWValidationError* e) {
        auto it = setOrder.find(e->ruleSet.value_or(e->schemaTitle.value_or("")));
        bool xsd = e->type == std::optional<std::string>("xsd");
        return std::make_tuple(xsd, it == setOrder.end() ? setOrder.size() : it->second, e->order);
    };
    std::stable_sort(all.begin(), all.end(),
                     [&](const auto* a, const auto* b) { return rank(a) < rank(b); });
    return all;
}

int severityRank(const std::string& severity) {
    return severity == "Error" ? 0 : severity == "Warning" ? 1 : 2;
}

std::string counted(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string countsText(const RWValidationResult& r) {
    return counted(r.errors.size(), "error", "errors") + ", " +
           counted(r.warningCount(), "warning", "warnings") + ", " +
           std::to_string(r.informationCount()) + " information";
}

std::string ruleSetLabel(const RWRuleSet& set) {
    return set.name + (set.version.empty() ? "" : " " + set.version) + (set.isXSD ? " (XSD)" : "");
}

// xs:ID and xs:NMTOKEN values the SVRL schema accepts.
bool isNCName(const std::string& s) {
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
    return std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.' || c >= 0x80;
    });
}
bool isNMToken(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == ':' || c >= 0x80;
    });
}

}  // namespace

const char* verdictWord(Verdict verdict) {
    switch (verdict) {
        case Verdict::Valid:
            return "valid";
        case Verdict::Warnings:
            return "warnings";
        case Verdict::Invalid:
            return "invalid";
        case Verdict::Unreadable:
            return "unreadable";
        case Verdict::NoRules:
            return "no-rules";
    }
    return "unreadable";
}

Verdict verdictOf(const RWValidationResult& result) {
    int status = result.status();
    return status == 3 ? Verdict::Invalid : status == 2 ? Verdict::Warnings : Verdict::Valid;
}

std::string textReport(const Outcome& o) {
    std::ostringstream out;
    out << o.file;
    if (o.attachment) out << " [" << *o.attachment << "]";
    out << ": " << verdictWord(o.verdict);
    if (!o.result) {
        out << " (" << o.reason << ")\n";
        return out.str();
    }
    const auto& r = *o.result;
    out << " (" << countsText(r) << ")\n";
    if (r.profile)
        out << "  profile: " << *r.profile << " (" << r.profileMatch.value_or("") << ")\n";
    else if (r.profileMatch)
        out << "  profile: unknown guideline ID; no profile rules ran\n";
    for (const auto& set : r.ruleSets) out << "  rules: " << ruleSetLabel(set) << "\n";
    for (const auto& p : r.engineProblems)
        out << "  engine problem in " << p.ruleSet << ": " << p.count
            << " expressions could not be evaluated, first: " << p.firstMessage << "\n";
    auto findings = allFindings(r);  // errors first, each severity in run order
    std::stable_sort(findings.begin(), findings.end(), [](const auto* a, const auto* b) {
        return severityRank(a->severity()) < severityRank(b->severity());
    });
    for (const auto* e : findings)
        out << "  " << e->severity() << "  " << e->assertionId.value_or(e->type.value_or("-"))
            << "  " << (e->location && !e->location->empty() ? *e->location : "-") << "  "
            << xdm::normalizeSpace(e->message.value_or("")) << "\n";
    return out.str();
}

std::string jsonRecord(const Outcome& o) {
    platform::JsonWriter json(false);
    auto optional = [&json](const char* name, const std::optional<std::string>& v) {
        json.key(name);
        v ? json.string(*v) : json.null();
    };
    json.beginObject();
    json.key("file").string(o.file);
    json.key("status").string(verdictWord(o.verdict));
    optional("attachment", o.attachment);
    if (!o.result) {
        json.key("reason").string(o.reason);
        json.endObject();
        return json.text();
    }
    const auto& r = *o.result;
    optional("profile", r.profile);
    optional("profileMatch", r.profileMatch);
    json.key("ruleSets").beginArray();
    for (const auto& set : r.ruleSets) {
        json.beginObject();
        json.key("name").string(set.name);
        json.key("version").string(set.version);
        json.key("kind").string(set.isXSD ? "xsd" : "schematron");
        json.endObject();
    }
    json.endArray();
    json.key("schemaFiles").beginArray();
    for (const auto& s : r.schemaFiles.value_or(std::vector<std::string>{})) json.string(s);
    json.endArray();
    json.key("engineProblems").beginArray();
    for (const auto& p : r.engineProblems) {
        json.beginObject();
        json.key("ruleSet").string(p.ruleSet);
        json.key("count").rawNumber(std::to_string(p.count));
        json.key("firstMessage").string(p.firstMessage);
        json.endObject();
    }
    json.endArray();
    for (const auto& [name, list] : {std::pair{"errors", &r.errors}, {"warnings", &r.warnings}}) {
        json.key(name).beginArray();
        for (const auto& e : *list) {
            json.beginObject();
            optional("pattern", e.pattern);
            optional("rule", e.rule);
            optional("assertion", e.assertion);
            optional("assertionId", e.assertionId);
            optional("test", e.test);
            optional("type", e.type);
            optional("role", e.role);
            optional("flag", e.flag);
            json.key("message").string(xdm::normalizeSpace(e.message.value_or("")));
            optional("location", e.location);
            optional("schemaTitle", e.schemaTitle);
            optional("ruleSet", e.ruleSet);
            json.key("severity").string(e.severity());
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
    return json.text();
}

std::string svrlReport(const Outcome& o) {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svrl:schematron-output xmlns:svrl=\"http://purl.oclc.org/dsdl/svrl\" title=\""
        << escapeXml(o.file) << "\" schemaVersion=\"iso\">\n";
    if (!o.result) {
        out << "  <svrl:text>" << escapeXml(verdictWord(o.verdict)) << ": " << escapeXml(o.reason)
            << "</svrl:text>\n"
            << "  <svrl:active-pattern document=\"" << escapeXml(o.file) << "\"/>\n"
            << "</svrl:schematron-output>\n";
        return out.str();
    }
    const auto& r = *o.result;
    // XSD findings and engine problems have no place in Schematron's model: leading texts.
    for (const auto* e : allFindings(r))
        if (e->type == std::optional<std::string>("xsd"))
            out << "  <svrl:text>" << escapeXml(e->schemaTitle.value_or("XSD")) << ": "
                << escapeXml(xdm::normalizeSpace(e->message.value_or(""))) << "</svrl:text>\n";
    for (const auto& p : r.engineProblems)
        out << "  <svrl:text>engine problem in " << escapeXml(p.ruleSet) << ": " << p.count
            << " expressions could not be evaluated, first: " << escapeXml(p.firstMessage)
            << "</svrl:text>\n";
    // ids are of type xs:ID: each may appear once per document, so later firings of the
    // same assertion carry it in their text only.
    std::set<std::string> usedIDs;
    auto idAttribute = [&](const std::optional<std::string>& id) -> std::string {
        if (!id || !isNCName(*id) || !usedIDs.insert(*id).second) return "";
        return " id=\"" + escapeXml(*id) + "\"";
    };
    auto tokenAttribute = [](const char* name, const std::optional<std::string>& v) {
        return v && isNMToken(*v) ? std::string(" ") + name + "=\"" + escapeXml(*v) + "\"" : "";
    };
    auto findings = allFindings(r);
    bool anyPattern = false;
    for (const auto& set : r.ruleSets) {
        if (set.isXSD) continue;
        std::optional<std::string> pattern;
        std::string firedContext, firedLocation;
        bool patternOpen = false;
        for (const auto* e : findings) {
            if (e->ruleSet != std::optional<std::string>(set.name) || e->type == "xsd") continue;
            if (!patternOpen || e->pattern != pattern) {
                pattern = e->pattern;
                out << "  <svrl:active-pattern" << idAttribute(e->pattern) << " name=\""
                    << escapeXml(ruleSetLabel(set)) << "\" document=\"" << escapeXml(o.file)
                    << "\"/>\n";
                patternOpen = anyPattern = true;
                firedContext.clear();
            }
            std::string context = e->context.value_or("");
            if (context != firedContext || e->location.value_or("") != firedLocation) {
                firedContext = context;
                firedLocation = e->location.value_or("");
                out << "  <svrl:fired-rule" << idAttribute(e->rule) << " context=\""
                    << escapeXml(context) << "\"/>\n";
            }
            const char* element =
                e->type == "report" ? "svrl:successful-report" : "svrl:failed-assert";
            out << "  <" << element << idAttribute(e->assertionId)
                << tokenAttribute("flag", e->flag) << tokenAttribute("role", e->role)
                << " location=\"" << escapeXml(e->location.value_or("")) << "\" test=\""
                << escapeXml(e->test.value_or("")) << "\">\n"
                << "    <svrl:text>" << escapeXml(xdm::normalizeSpace(e->message.value_or("")))
                << "</svrl:text>\n"
                << "  </" << element << ">\n";
        }
        if (!patternOpen) {
            out << "  <svrl:active-pattern name=\"" << escapeXml(ruleSetLabel(set))
                << "\" document=\"" << escapeXml(o.file) << "\"/>\n";
            anyPattern = true;
        }
    }
    if (!anyPattern) out << "  <svrl:active-pattern document=\"" << escapeXml(o.file) << "\"/>\n";
    out << "</svrl:schematron-output>\n";
    return out.str();
}

std::string htmlReport(const Outcome& o) {
    std::ostringstream out;
    const char* colour = o.verdict == Verdict::Valid      ? "#1e7b34"
                         : o.verdict == Verdict::Warnings ? "#b35c00"
                                                          : "#b00020";
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>"
        << escapeXml(o.file) << ": " << verdictWord(o.verdict) << "</title>\n<style>\n"
        << "body{font:14px/1.4 sans-serif;margin:2em;color:#222;max-width:70em}\n"
        << "h1{font-size:1.4em;margin:0 0 .2em} .verdict{color:#fff;padding:.1em .5em;"
           "border-radius:3px}\n"
        << "table{border-collapse:collapse;width:100%;margin:.5em 0 1.5em}"
           "th,td{border:1px solid #ccc;padding:.3em .5em;text-align:left;vertical-align:top}\n"
        << "th{background:#f2f2f2} code{font-size:12px;word-break:break-all}"
           " .Error{color:#b00020} .Warning{color:#b35c00} .Info{color:#555}\n"
        << "details summary{cursor:pointer}\n</style></head><body>\n"
        << "<h1>" << escapeXml(o.file)
        << "</h1>\n<p><span class=\"verdict\" style=\"background:" << colour << "\">"
        << verdictWord(o.verdict) << "</span>";
    if (o.attachment)
        out << " &nbsp; embedded invoice: <code>" << escapeXml(*o.attachment) << "</code>";
    out << "</p>\n";
    if (!o.result) {
        out << "<p>" << escapeXml(o.reason) << "</p>\n</body></html>\n";
        return out.str();
    }
    const auto& r = *o.result;
    out << "<p>" << countsText(r) << ".";
    if (r.profile)
        out << " Profile: <b>" << escapeXml(*r.profile) << "</b> ("
            << escapeXml(r.profileMatch.value_or("")) << " match).";
    else if (r.profileMatch)
        out << " The guideline ID names no known profile; no profile rules ran.";
    out << "</p>\n<h2>Rule sets</h2>\n<table><tr><th>Rule "
           "set</th><th>Version</th><th>Kind</th></tr>\n";
    for (const auto& set : r.ruleSets)
        out << "<tr><td>" << escapeXml(set.name) << "</td><td>" << escapeXml(set.version)
            << "</td><td>" << (set.isXSD ? "XML Schema" : "Schematron") << "</td></tr>\n";
    out << "</table>\n";
    if (!r.engineProblems.empty()) {
        out << "<h2>Engine problems</h2>\n<ul>\n";
        for (const auto& p : r.engineProblems)
            out << "<li>" << escapeXml(p.ruleSet) << ": " << p.count
                << " expressions could not be evaluated; first: <code>" << escapeXml(p.firstMessage)
                << "</code></li>\n";
        out << "</ul>\n";
    }
    // One row per rule: how often it fired and where.
    struct Group {
        const RWValidationError* first;
        std::vector<std::string> locations;
    };
    std::vector<std::string> order;
    std::map<std::string, Group> groups;
    for (const auto* e : allFindings(r)) {
        std::string key = e->severity() + "\x1f" + e->ruleSet.value_or("") + "\x1f" +
                          e->assertionId.value_or(e->test.value_or(e->message.value_or("")));
        auto [it, fresh] = groups.try_emplace(key, Group{e, {}});
        if (fresh) order.push_back(key);
        it->second.locations.push_back(e->location.value_or(""));
    }
    std::stable_sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
        return severityRank(groups.at(a).first->severity()) <
               severityRank(groups.at(b).first->severity());
    });
    out << "<h2>Findings</h2>\n";
    if (order.empty())
        out << "<p>None.</p>\n";
    else
        out << "<table><tr><th>Severity</th><th>Rule</th><th>Count</th><th>Message</th>"
               "<th>Location</th></tr>\n";
    for (const auto& key : order) {
        const Group& g = groups.at(key);
        const auto* e = g.first;
        std::string sev = e->severity();
        out << "<tr><td class=\"" << sev << "\">" << sev << "</td><td>"
            << escapeXml(e->assertionId.value_or(e->type.value_or(""))) << "<br><small>"
            << escapeXml(e->ruleSet.value_or(e->schemaTitle.value_or(""))) << "</small></td><td>"
            << g.locations.size() << "</td><td>"
            << escapeXml(xdm::normalizeSpace(e->message.value_or("")));
        if (e->test)
            out << "<details><summary>test</summary><code>" << escapeXml(*e->test)
                << "</code></details>";
        out << "</td><td>";
        const size_t shown = std::min<size_t>(g.locations.size(), 3);
        for (size_t i = 0; i < shown; ++i)
            out << (i ? "<br>" : "") << "<code>" << escapeXml(g.locations[i]) << "</code>";
        if (g.locations.size() > shown) {
            out << "<details><summary>" << g.locations.size() - shown << " more</summary>";
            for (size_t i = shown; i < g.locations.size(); ++i)
                out << "<code>" << escapeXml(g.locations[i]) << "</code><br>";
            out << "</details>";
        }
        out << "</td></tr>\n";
    }
    if (!order.empty()) out << "</table>\n";
    out << "</body></html>\n";
    return out.str();
}

}  // namespace ruleweave::cli
