// Evaluating the EN 16931 UBL rule set on a real invoice: the XPath engine's real workload.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/FileData.h"
#include "ruleweave/RWSchematronValidator.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) { return platform::readFileData(path).value_or(""); }

const fs::path kInvoice = fs::path(LEDGERLENS_BENCH_CORPUS) / "en16931-examples/ubl/ubl-tc434-example2.xml";
const fs::path kSchema = fs::path(LEDGERLENS_BENCH_RULES) / "Schematron/EN16931/ubl/EN16931-UBL-validation.sch";

// Every rule, assertion and let of the rule set evaluated against the invoice; the schema is
// parsed once, as a batch validator does.
void BM_EN16931UBLRulesOnInvoice(benchmark::State& state) {
    ruleweave::RWSchematronValidator validator;
    auto schema = validator.schemaForFile(kSchema);
    auto document = platform::XmlDocument::parse(readFile(kInvoice));
    if (!schema || !document) {
        state.SkipWithError("corpus or rules missing");
        return;
    }
    size_t assertions = 0;
    for (const auto& p : schema->patterns)
        for (const auto& r : p.rules) assertions += r.assertions.size();
    size_t findings = 0;
    for (auto _ : state) {
        auto result = validator.validateDocument(*document, *schema);
        findings = result.errors.size() + result.warnings.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["assertions"] = static_cast<double>(assertions);
    state.counters["findings"] = static_cast<double>(findings);
    state.counters["invoices/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EN16931UBLRulesOnInvoice)->Unit(benchmark::kMillisecond);

// The same including parsing the rule set (what a validator does on its first invoice).
void BM_ParseRuleSetAndValidate(benchmark::State& state) {
    std::string xml = readFile(kInvoice);
    for (auto _ : state) {
        ruleweave::RWSchematronValidator validator;
        auto result = validator.validateXMLWithSchemaFile(xml, kSchema);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ParseRuleSetAndValidate)->Unit(benchmark::kMillisecond);

// One typical amount check through the engine: parse cached, evaluation only.
void BM_DecimalAmountCheck(benchmark::State& state) {
    auto document = platform::XmlDocument::parse(readFile(kInvoice));
    ruleweave::RWXPath2Evaluator evaluator({{"cbc", "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"},
                                            {"cac", "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"}});
    const std::string test =
        "(cac:LegalMonetaryTotal/xs:decimal(cbc:LineExtensionAmount) = "
        "(round(sum(//(cac:InvoiceLine|cac:CreditNoteLine)/xs:decimal(cbc:LineExtensionAmount)) * 10 * 10) div 100))";
    for (auto _ : state) benchmark::DoNotOptimize(evaluator.evaluate(test, document->root().raw()));
}
BENCHMARK(BM_DecimalAmountCheck)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
