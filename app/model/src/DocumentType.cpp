#include "model/DocumentType.h"

#include <algorithm>
#include <array>

#include "model/TextValues.h"

namespace model {
namespace {

template <size_t N>
bool contains(const std::array<std::string_view, N>& codes, std::string_view code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

DocumentKind kindForUNTDID(std::string_view code) {
    static constexpr std::array<std::string_view, 11> credit = {
        "81", "83", "261", "262", "296", "308", "381", "396", "420", "458", "532"};
    static constexpr std::array<std::string_view, 4> debit = {"80", "84", "383", "527"};
    static constexpr std::array<std::string_view, 4> correction = {"384", "471", "472", "473"};
    if (contains(credit, code)) return DocumentKind::CreditNote;
    if (contains(debit, code)) return DocumentKind::DebitNote;
    if (contains(correction, code)) return DocumentKind::Correction;
    if (code == "386") return DocumentKind::Prepayment;
    if (code == "389") return DocumentKind::SelfBilled;
    return DocumentKind::Invoice;
}

DocumentKind kindForTipoDocumento(std::string_view code) {
    if (code == "TD04" || code == "TD08") return DocumentKind::CreditNote;
    if (code == "TD05" || code == "TD09") return DocumentKind::DebitNote;
    if (code == "TD02" || code == "TD03") return DocumentKind::Prepayment;
    if (code == "TD20") return DocumentKind::SelfBilled;
    return DocumentKind::Invoice;
}

}  // namespace

DocumentKind documentKindForCode(InvoiceSyntax syntax, const std::optional<std::string>& code,
                                 bool creditNoteRoot) {
    const std::string value = code ? trimmedText(*code) : std::string();
    switch (syntax) {
        case InvoiceSyntax::CII:
            return kindForUNTDID(value);
        case InvoiceSyntax::UBL:
            if (value.empty() && creditNoteRoot) return DocumentKind::CreditNote;
            return kindForUNTDID(value);
        case InvoiceSyntax::FatturaPA:
            return kindForTipoDocumento(value);
        case InvoiceSyntax::Facturae:
            // OR: original corrective, CR: copy of a corrective.
            if (value == "OR" || value == "CR") return DocumentKind::Correction;
            return DocumentKind::Invoice;
        case InvoiceSyntax::None:
            break;
    }
    return DocumentKind::Invoice;
}

std::string_view documentKindName(DocumentKind kind) {
    switch (kind) {
        case DocumentKind::Invoice:
            return "invoice";
        case DocumentKind::CreditNote:
            return "creditNote";
        case DocumentKind::DebitNote:
            return "debitNote";
        case DocumentKind::Correction:
            return "correction";
        case DocumentKind::Prepayment:
            return "prepayment";
        case DocumentKind::SelfBilled:
            return "selfBilled";
    }
    return "invoice";
}

std::string_view documentTitleKey(DocumentKind kind) {
    switch (kind) {
        case DocumentKind::Invoice:
            return "Invoice";
        case DocumentKind::CreditNote:
            return "Credit Note";
        case DocumentKind::DebitNote:
            return "Debit Note";
        case DocumentKind::Correction:
            return "Corrective Invoice";
        case DocumentKind::Prepayment:
            return "Prepayment Invoice";
        case DocumentKind::SelfBilled:
            return "Self-billed Invoice";
    }
    return "Invoice";
}

std::string_view amountDueLabelKey(DocumentKind kind) {
    return kind == DocumentKind::CreditNote ? "Amount Credited" : "Amount Due";
}

}  // namespace model
