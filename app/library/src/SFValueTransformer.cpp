#include "library/SFValueTransformer.h"

#include <map>
#include <mutex>

#include "library/LLPathTransformer.h"
#include "library/LLValidationResultTransformer.h"
#include "library/SFDateTransformer.h"
#include "library/SFNumberTransformer.h"

namespace library {
namespace {

// The name table is the one shared registry the shared-instance contract asks for; it is filled
// with this library's transformers on first use and guarded for callers on other threads.
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<SFValueTransformer>, std::less<>> transformers;

    Registry() {
        transformers["SFNumberTransformer"] = std::make_shared<SFNumberTransformer>();
        transformers["SFMediumDateTransformer"] = std::make_shared<SFMediumDateTransformer>();
        transformers["LLValidationResultTransformer"] =
            std::make_shared<LLValidationResultTransformer>();
        transformers["LLPathTransformer"] = std::make_shared<LLPathTransformer>();
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

std::shared_ptr<SFValueTransformer> SFValueTransformer::valueTransformerForName(
    std::string_view name) {
    Registry& table = registry();
    std::lock_guard lock(table.mutex);
    auto found = table.transformers.find(name);
    return found == table.transformers.end() ? nullptr : found->second;
}

void SFValueTransformer::setValueTransformerForName(std::shared_ptr<SFValueTransformer> transformer,
                                                    std::string_view name) {
    Registry& table = registry();
    std::lock_guard lock(table.mutex);
    if (transformer)
        table.transformers[std::string(name)] = std::move(transformer);
    else
        table.transformers.erase(std::string(name));
}

}  // namespace library
