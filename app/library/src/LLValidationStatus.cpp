#include "library/LLValidationStatus.h"

namespace library {

LLValidationStatus validationStatusOf(LLValidationResult result) {
    switch (result) {
        case LLValidationResult::Valid:
            return LLValidationStatus::Valid;
        case LLValidationResult::Warnings:
            return LLValidationStatus::Warnings;
        case LLValidationResult::Invalid:
            return LLValidationStatus::Errors;
        default:
            return LLValidationStatus::None;
    }
}

const char* validationResultWord(LLValidationResult result) {
    switch (result) {
        case LLValidationResult::NotValidated:
            return "not validated";
        case LLValidationResult::NoRules:
            return "no rules apply";
        case LLValidationResult::Valid:
            return "valid";
        case LLValidationResult::Warnings:
            return "valid with warnings";
        case LLValidationResult::Invalid:
            return "invalid";
        case LLValidationResult::NotUTF8:
            return "not UTF-8";
        case LLValidationResult::Failed:
            return "validation failed";
    }
    return "unknown";
}

}  // namespace library
