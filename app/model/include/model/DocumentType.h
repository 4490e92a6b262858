#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/InvoiceSyntax.h"

namespace model {

// What a document is to its recipient; decides the page title and how the total is worded.
enum class DocumentKind { Invoice, CreditNote, DebitNote, Correction, Prepayment, SelfBilled };

// The kind named by a document type code: UNTDID 1001 for CII and UBL (a UBL CreditNote root
// without a code is a credit note), TipoDocumento for FatturaPA, InvoiceClass for Facturae.
DocumentKind documentKindForCode(InvoiceSyntax syntax, const std::optional<std::string>& code,
                                 bool creditNoteRoot = false);

// Stable name for machine output ("invoice", "creditNote", …).
std::string_view documentKindName(DocumentKind kind);
// English label keys of the string tables: the page title ("Credit Note") and the wording of
// the total ("Amount Credited" instead of "Amount Due").
std::string_view documentTitleKey(DocumentKind kind);
std::string_view amountDueLabelKey(DocumentKind kind);

}  // namespace model
