#pragma once

#include <string_view>

#include "model/DocumentType.h"
#include "model/LLInvoiceAllowanceCharge.h"
#include "model/LLInvoiceCurrency.h"
#include "model/LLInvoiceElement.h"
#include "model/LLInvoiceItem.h"
#include "model/LLInvoiceNote.h"
#include "model/LLInvoiceTax.h"
#include "model/LLInvoiceTradeParty.h"

namespace model {

// An earlier invoice this document refers to (a credit note's or a correction's original).
// A supporting document whose bytes travel inside the invoice (base64, as written there).
struct EmbeddedAttachment {
    std::string name;
    std::string mimeType;
    std::string description;
    std::string base64;
};

struct PrecedingInvoice {
    std::optional<std::string> number;
    std::optional<Date> issueDate;
};

// One way of paying: a transfer to the payee's account, or a direct debit from the buyer's.
struct PaymentAccount {
    std::optional<std::string> meansCode;  // as written (UNTDID 4461, MP05, Facturae 04)
    std::optional<std::string> accountID;  // IBAN or other account number
    std::optional<std::string> accountName;
    std::optional<std::string> bic;
    bool directDebit = false;            // accountID is then the account debited
    std::optional<std::string> mandate;  // direct-debit mandate reference
};

// The format-neutral invoice. Read once by a reader, read-only afterwards.
class LLInvoice : public LLInvoiceElement {
  public:
    std::optional<Date> issueDate;
    std::optional<Date> dueDate;
    std::optional<Date> dateRangeStart;
    std::optional<Date> dateRangeEnd;
    std::optional<Decimal> netAmount;
    std::optional<Decimal> grossAmount;
    std::optional<Decimal> finalAmount;
    std::optional<Decimal> taxAmount;
    std::optional<Decimal> prepaidAmount;
    std::optional<std::string> lead;
    std::optional<std::string> number;
    std::optional<std::string> reference;
    std::optional<std::string> subject;
    std::shared_ptr<LLInvoiceCurrency> currency;
    std::shared_ptr<LLInvoiceTradeParty> seller;
    std::shared_ptr<LLInvoiceTradeParty> buyer;
    ElementList<LLInvoiceTax> taxes;
    ElementList<LLInvoiceNote> notes;
    ElementList<LLInvoiceAllowanceCharge> allowancesCharges;
    std::optional<std::string> finalAmountAsString;
    std::optional<std::string> conditions;
    ElementList<LLInvoiceItem> items;
    std::optional<std::string> buyerReference;
    std::optional<std::string> buyerOrderReference;

    // References the buyer needs to book the document (buyerReference holds the routing
    // reference, buyerOrderReference the purchase order number).
    std::optional<std::string> salesOrderReference;
    std::optional<std::string> contractReference;
    std::optional<std::string> projectReference;
    std::optional<std::string> receivingAdviceReference;
    std::optional<std::string> despatchAdviceReference;
    std::optional<std::string> tenderReference;
    std::optional<std::string> objectIdentifier;
    std::optional<std::string> accountingReference;
    std::optional<Date> deliveryDate;
    std::shared_ptr<LLInvoiceTradeParty> shipTo;
    // Supporting documents: file name (or reference) and description, as listed on the page.
    std::vector<std::pair<std::string, std::string>> attachments;
    // Those of them that carry their bytes; external URIs are never followed.
    std::vector<EmbeddedAttachment> embeddedAttachments;

    // Document type as written (UNTDID 1001 code, TipoDocumento, Facturae InvoiceClass) and
    // what it means to the recipient.
    InvoiceSyntax syntax = InvoiceSyntax::None;  // the syntax the invoice was read from
    std::optional<std::string> typeCode;
    DocumentKind documentKind = DocumentKind::Invoice;
    std::vector<PrecedingInvoice> precedingInvoices;

    // The totals as the document states them, each with its own meaning whatever the syntax
    // (netAmount keeps the meaning it has always had per syntax).
    std::optional<Decimal> lineTotalAmount;       // sum of line net amounts
    std::optional<Decimal> allowanceTotalAmount;  // document-level allowances
    std::optional<Decimal> chargeTotalAmount;     // document-level charges
    std::optional<Decimal> taxBasisAmount;        // total without VAT
    std::optional<Decimal> roundingAmount;
    std::optional<Decimal> withholdingAmount;  // IRPF, ritenuta: subtracted from the total
    std::optional<std::string> withholdingName;
    std::optional<Decimal> stampDutyAmount;   // FatturaPA bollo
    std::optional<std::string> numberSeries;  // Facturae series code, shown before the number

    // The payee's account that a credit transfer may go to: an IBAN (spaces removed) that passes
    // its checksum, never an account to be debited; with its holder and BIC.
    std::optional<std::string> creditTransferIBAN;
    std::optional<std::string> creditTransferBIC;
    std::optional<std::string> creditTransferAccountName;
    std::vector<PaymentAccount> paymentAccounts;
    std::optional<std::string> payeeName;
    std::optional<std::string> paymentReference;

    // True when the total is money the recipient receives rather than pays.
    bool totalIsCredited() const;

    // Every invoice of a document: one per FatturaElettronicaBody of a FatturaPA batch, else one.
    static std::vector<std::shared_ptr<LLInvoice>> invoicesFromXML(XmlNode root);

    void populateFromUBLXML(XmlNode root) override;
    void populateFromCIIXML(XmlNode root) override;
    void populateFromFatturaPAXML(XmlNode root) override;
    void populateFromFacturaeXML(XmlNode root) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
    // The values of a SEPA credit-transfer code ("qr.iban", "qr.name", "qr.bic", "qr.amount",
    // "qr.remittance"); none when no code may be drawn for this document.
    std::optional<SubstitutionDictionary> paymentCodeValues() const;
    // Values of the prepayment rows; none without a prepaid amount.
    std::optional<SubstitutionDictionary> prepaidDictionary() const;

  private:
    int fatturaPABody_ = 1;  // which FatturaElettronicaBody the FatturaPA reader reads
};

// An IBAN without blanks in upper case when its length, country and check digits hold.
std::optional<std::string> validIBAN(std::string_view text);
// The name of a Facturae tax type code ("01" → "IVA", "04" → "IRPF").
std::string facturaeTaxName(const std::string& code);

}  // namespace model
