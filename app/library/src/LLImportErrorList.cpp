#include "library/LLImportErrorList.h"

#include <utility>

namespace library {

void LLImportErrorList::reset() {
    std::lock_guard lock(mutex_);
    errors_.clear();
}

void LLImportErrorList::add(LLImportError error) {
    std::lock_guard lock(mutex_);
    errors_.push_back(std::move(error));
}

std::vector<LLImportError> LLImportErrorList::errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

void LLImportErrorList::addReplacement(LLImportReplacement replacement) {
    std::lock_guard lock(mutex_);
    replacements_.push_back(std::move(replacement));
}

std::vector<LLImportReplacement> LLImportErrorList::takeReplacements() {
    std::lock_guard lock(mutex_);
    return std::exchange(replacements_, {});
}

}  // namespace library
