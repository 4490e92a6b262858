#include "model/LLInvoice.h"

#include "ReaderSupport.h"
#include "model/TextValues.h"

namespace model {
namespace {

constexpr std::string_view kCIITotals = "//ram:SpecifiedTradeSettlementHeaderMonetarySummation/";

bool isCurrencyCode(const std::string& code) {
    if (code.empty() || code.size() > 8) return false;
    for (char c : code)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// An invoice may state its tax total twice: in the invoice currency and in the tax accounting
// currency. The invoice currency's amount is the one that adds up with the other totals.
std::optional<Decimal> taxTotalInCurrency(XmlNode root, const std::string& path,
                                          const std::shared_ptr<LLInvoiceCurrency>& currency) {
    if (currency && currency->name && isCurrencyCode(*currency->name)) {
        if (auto amount =
                decimalNumberForKeyPath(root, path + "[@currencyID='" + *currency->name + "']"))
            return amount;
    }
    return decimalNumberForKeyPath(root, path);
}

std::string agnostic(std::string_view names) { return namespaceAgnosticPath(names); }

std::optional<std::string> nonEmpty(std::optional<std::string> text) {
    if (text && text->find_first_not_of(" \t\r\n") == std::string::npos) return std::nullopt;
    return text;
}

using Account = PaymentAccount;

// Keeps every account and takes the first that passes as an IBAN and is not debited.
void takeCreditTransferAccount(LLInvoice& invoice, const std::vector<Account>& accounts) {
    invoice.paymentAccounts = accounts;
    for (const auto& account : accounts) {
        if (!account.accountID || account.directDebit) continue;
        if (auto iban = validIBAN(*account.accountID)) {
            invoice.creditTransferIBAN = iban;
            invoice.creditTransferAccountName = nonEmpty(account.accountName);
            invoice.creditTransferBIC = nonEmpty(account.bic);
            return;
        }
    }
}

// UNTDID 4461: 49 direct debit, 59 SEPA direct debit.
bool isDirectDebitCode(const std::optional<std::string>& code) {
    return code && (code->find("49") == 0 || code->find("59") == 0) && code->size() == 2;
}

Decimal sumOf(const std::vector<XmlNode>& nodes, const char* path, bool* any = nullptr) {
    Decimal sum = 0;
    for (XmlNode node : nodes)
        if (auto value = decimalNumberForKeyPath(node, path)) {
            sum += *value;
            if (any) *any = true;
        }
    return sum;
}

// Keeps the base64 text of an embedded binary object; decoding waits until the bytes are needed.
void addEmbeddedAttachment(LLInvoice& invoice, XmlNode object, const std::string& name,
                           const std::string& description) {
    auto base64 = stringForKeyPath(object, ".");
    if (!base64 || base64->find_first_not_of(" \t\r\n") == std::string::npos) return;
    invoice.embeddedAttachments.push_back({name, stringForKeyPath(object, "@mimeCode").value_or(""),
                                           description, std::move(*base64)});
}

}  // namespace

void LLInvoice::populateFromCIIXML(XmlNode root) {
    const std::string totals(kCIITotals);
    issueDate = dateForKeyPath(root, "rsm:ExchangedDocument/ram:IssueDateTime/udt:DateTimeString");
    number = stringForKeyPath(root, "rsm:ExchangedDocument/ram:ID");
    dueDate = dateForKeyPath(
        root, "//ram:SpecifiedTradePaymentTerms/ram:DueDateDateTime/udt:DateTimeString");
    dateRangeStart =
        dateForKeyPath(root, "//ram:BillingSpecifiedPeriod/ram:StartDateTime/udt:DateTimeString");
    dateRangeEnd =
        dateForKeyPath(root, "//ram:BillingSpecifiedPeriod/ram:EndDateTime/udt:DateTimeString");
    reference = stringForKeyPath(root, "//ram:BuyerOrderReferencedDocument/ram:IssuerAssignedID");
    netAmount = decimalNumberForKeyPath(root, totals + "ram:LineTotalAmount");
    currency = elementFromXML<LLInvoiceCurrency>(root);
    taxAmount = taxTotalInCurrency(root, totals + "ram:TaxTotalAmount", currency);
    prepaidAmount = decimalNumberForKeyPath(root, totals + "ram:TotalPrepaidAmount");
    grossAmount = decimalNumberForKeyPath(root, totals + "ram:GrandTotalAmount");
    finalAmount = decimalNumberForKeyPath(root, totals + "ram:DuePayableAmount");
    finalAmountAsString = stringForKeyPath(root, totals + "ram:DuePayableAmount");
    seller = readChild<LLInvoiceTradeParty>(root, "//ram:SellerTradeParty");
    buyer = readChild<LLInvoiceTradeParty>(root, "//ram:BuyerTradeParty");
    // The payment terms are what the buyer agreed to; the payment means text only stands in.
    conditions = orElse(
        nonEmpty(stringForKeyPath(root, "//ram:SpecifiedTradePaymentTerms/ram:Description")),
        stringForKeyPath(root, "//ram:SpecifiedTradeSettlementPaymentMeans/ram:Information"));
    taxes = readListWithAlternates<LLInvoiceTax>(
        root, "//ram:ApplicableHeaderTradeSettlement/ram:ApplicableTradeTax");
    allowancesCharges = readListWithAlternates<LLInvoiceAllowanceCharge>(
        root, "//ram:ApplicableHeaderTradeSettlement/ram:SpecifiedTradeAllowanceCharge");
    notes = readList<LLInvoiceNote>(root, "rsm:ExchangedDocument/ram:IncludedNote");
    items = readList<LLInvoiceItem>(root, "//ram:IncludedSupplyChainTradeLineItem");

    buyerReference = stringForKeyPath(root, "//ram:BuyerReference");
    buyerOrderReference = reference;
    salesOrderReference =
        stringForKeyPath(root, "//ram:SellerOrderReferencedDocument/ram:IssuerAssignedID");
    contractReference =
        stringForKeyPath(root, "//ram:ContractReferencedDocument/ram:IssuerAssignedID");
    projectReference = stringForKeyPath(root, "//ram:SpecifiedProcuringProject/ram:ID");
    receivingAdviceReference =
        stringForKeyPath(root, "//ram:ReceivingAdviceReferencedDocument/ram:IssuerAssignedID");
    despatchAdviceReference =
        stringForKeyPath(root, "//ram:DespatchAdviceReferencedDocument/ram:IssuerAssignedID");
    tenderReference = stringForKeyPath(
        root, "//ram:AdditionalReferencedDocument[ram:TypeCode='50']/ram:IssuerAssignedID");
    objectIdentifier = stringForKeyPath(
        root, "//ram:AdditionalReferencedDocument[ram:TypeCode='130']/ram:IssuerAssignedID");
    accountingReference =
        stringForKeyPath(root, "//ram:ReceivableSpecifiedTradeAccountingAccount/ram:ID");
    deliveryDate = dateForKeyPath(
        root, "//ram:ActualDeliverySupplyChainEvent/ram:OccurrenceDateTime/udt:DateTimeString");
    shipTo = readChild<LLInvoiceTradeParty>(root, "//ram:ShipToTradeParty");
    for (XmlNode document :
         nodesForKeyPath(root, "//ram:AdditionalReferencedDocument[ram:TypeCode='916']")) {
        auto name = orElse(stringForKeyPath(document, "ram:AttachmentBinaryObject/@filename"),
                           stringForKeyPath(document, "ram:IssuerAssignedID"));
        if (!name) continue;
        const std::string description = stringForKeyPath(document, "ram:Name").value_or("");
        attachments.emplace_back(*name, description);
        if (XmlNode object = elementForKeyPath(document, "ram:AttachmentBinaryObject"))
            addEmbeddedAttachment(*this, object, *name, description);
    }

    syntax = InvoiceSyntax::CII;
    typeCode = stringForKeyPath(root, "rsm:ExchangedDocument/ram:TypeCode");
    documentKind = documentKindForCode(InvoiceSyntax::CII, typeCode);
    for (XmlNode reference : nodesForKeyPath(root, "//ram:InvoiceReferencedDocument"))
        precedingInvoices.push_back(
            {stringForKeyPath(reference, "ram:IssuerAssignedID"),
             dateForKeyPath(reference, "ram:FormattedIssueDateTime/qdt:DateTimeString")});
    lineTotalAmount = netAmount;
    allowanceTotalAmount = decimalNumberForKeyPath(root, totals + "ram:AllowanceTotalAmount");
    chargeTotalAmount = decimalNumberForKeyPath(root, totals + "ram:ChargeTotalAmount");
    taxBasisAmount = decimalNumberForKeyPath(root, totals + "ram:TaxBasisTotalAmount");
    roundingAmount = decimalNumberForKeyPath(root, totals + "ram:RoundingAmount");
    payeeName = stringForKeyPath(root, "//ram:PayeeTradeParty/ram:Name");
    paymentReference = stringForKeyPath(root, "//ram:PaymentReference");
    std::vector<Account> accounts;
    for (XmlNode means : nodesForKeyPath(root, "//ram:SpecifiedTradeSettlementPaymentMeans")) {
        Account account;
        account.meansCode = stringForKeyPath(means, "ram:TypeCode");
        account.directDebit = isDirectDebitCode(account.meansCode);
        if (account.directDebit) {
            account.accountID =
                stringForKeyPath(means, "ram:PayerPartyDebtorFinancialAccount/ram:IBANID");
            account.mandate =
                stringForKeyPath(root, "//ram:SpecifiedTradePaymentTerms/ram:DirectDebitMandateID");
        } else {
            account.accountID =
                stringForKeyPath(means, "ram:PayeePartyCreditorFinancialAccount/ram:IBANID");
            if (!account.accountID)
                account.accountID = stringForKeyPath(
                    means, "ram:PayeePartyCreditorFinancialAccount/ram:ProprietaryID");
            account.accountName =
                stringForKeyPath(means, "ram:PayeePartyCreditorFinancialAccount/ram:AccountName");
            account.bic =
                stringForKeyPath(means, "ram:PayeeSpecifiedCreditorFinancialInstitution/ram:BICID");
        }
        if (account.accountID || account.meansCode) accounts.push_back(account);
    }
    takeCreditTransferAccount(*this, accounts);
}

void LLInvoice::populateFromUBLXML(XmlNode root) {
    const bool creditNote = root.localName() == "CreditNote";
    issueDate = dateForKeyPath(root, "cbc:IssueDate");
    dueDate = dateForKeyPath(root, "cbc:DueDate");
    if (!dueDate && creditNote)
        dueDate = dateForKeyPath(root, "cac:PaymentMeans/cbc:PaymentDueDate");
    dateRangeStart = dateForKeyPath(root, "cac:InvoicePeriod/cbc:StartDate");
    dateRangeEnd = dateForKeyPath(root, "cac:InvoicePeriod/cbc:EndDate");
    // The first note opens the page, the others follow the lines.
    std::vector<XmlNode> noteNodes = nodesForKeyPath(root, "cbc:Note");
    if (!noteNodes.empty()) lead = withoutSubjectCode(noteNodes.front().stringValue());
    notes.emplace();
    for (size_t i = 1; i < noteNodes.size(); ++i) {
        auto note = std::make_shared<LLInvoiceNote>();
        note->note = withoutSubjectCode(noteNodes[i].stringValue());
        notes->push_back(note);
    }
    number = stringForKeyPath(root, "cbc:ID");
    buyerReference = stringForKeyPath(root, "cbc:BuyerReference");
    reference =
        orElse(stringForKeyPath(root, "cac:OrderReference/cbc:SalesOrderID"), buyerReference);
    subject = stringForKeyPath(root, "cac:OrderReference/cbc:ID");
    netAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:TaxExclusiveAmount");
    currency = elementFromXML<LLInvoiceCurrency>(root);
    taxAmount = taxTotalInCurrency(root, "cac:TaxTotal/cbc:TaxAmount", currency);
    prepaidAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:PrepaidAmount");
    grossAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:TaxInclusiveAmount");
    finalAmount = decimalNumberForKeyPath(root, "cac:LegalMonetaryTotal/cbc:PayableAmount");
    finalAmountAsString = stringForKeyPath(root, "cac:LegalMonetaryTotal/cbc:PayableAmount");
    seller = readChild<LLInvoiceTradeParty>(root, "cac:AccountingSupplierParty");
    buyer = readChild<LLInvoiceTradeParty>(root, "cac:AccountingCustomerParty");
    conditions = stringForKeyPath(root, "cac:PaymentTerms/cbc:Note");
    items = readList<LLInvoiceItem>(root, creditNote ? "cac:CreditNoteLine" : "cac:InvoiceLine");
    taxes = readList<LLInvoiceTax>(root, "cac:TaxTotal/cac:TaxSubtotal");
    allowancesCharges = readList<LLInvoiceAllowanceCharge>(root, "cac:AllowanceCharge");
    if (!grossAmount && taxAmount && netAmount) grossAmount = *netAmount + *taxAmount;

    buyerOrderReference = subject;
    salesOrderReference = stringForKeyPath(root, "cac:OrderReference/cbc:SalesOrderID");
    contractReference = stringForKeyPath(root, "cac:ContractDocumentReference/cbc:ID");
    projectReference = stringForKeyPath(root, "cac:ProjectReference/cbc:ID");
    receivingAdviceReference = stringForKeyPath(root, "cac:ReceiptDocumentReference/cbc:ID");
    despatchAdviceReference = stringForKeyPath(root, "cac:DespatchDocumentReference/cbc:ID");
    tenderReference = stringForKeyPath(root, "cac:OriginatorDocumentReference/cbc:ID");
    objectIdentifier = stringForKeyPath(
        root, "cac:AdditionalDocumentReference[cbc:DocumentTypeCode='130']/cbc:ID");
    accountingReference = stringForKeyPath(root, "cbc:AccountingCost");
    deliveryDate = dateForKeyPath(root, "cac:Delivery/cbc:ActualDeliveryDate");
    for (XmlNode document : nodesForKeyPath(root, "cac:AdditionalDocumentReference")) {
        if (stringForKeyPath(document, "cbc:DocumentTypeCode") == "130") continue;  // object id
        auto name = orElse(
            stringForKeyPath(document, "cac:Attachment/cbc:EmbeddedDocumentBinaryObject/@filename"),
            stringForKeyPath(document, "cbc:ID"));
        if (!name) continue;
        const std::string description =
            stringForKeyPath(document, "cbc:DocumentDescription").value_or("");
        attachments.emplace_back(*name, description);
        if (XmlNode object =
                elementForKeyPath(document, "cac:Attachment/cbc:EmbeddedDocumentBinaryObject"))
            addEmbeddedAttachment(*this, object, *name, description);
    }
    if (XmlNode delivery = elementForKeyPath(root, "cac:Delivery")) {
        auto place = std::make_shared<LLInvoiceTradeParty>();
        place->name = stringForKeyPath(delivery, "cac:DeliveryParty/cac:PartyName/cbc:Name");
        const std::string address = "cac:DeliveryLocation/cac:Address/";
        place->lineOne = stringForKeyPath(delivery, address + "cbc:StreetName");
        place->lineTwo = stringForKeyPath(delivery, address + "cbc:AdditionalStreetName");
        place->postcodeCode = stringForKeyPath(delivery, address + "cbc:PostalZone");
        place->cityName = stringForKeyPath(delivery, address + "cbc:CityName");
        place->countryID =
            stringForKeyPath(delivery, address + "cac:Country/cbc:IdentificationCode");
        if (place->name || place->lineOne || place->cityName) shipTo = place;
    }

    syntax = InvoiceSyntax::UBL;
    typeCode = orElse(stringForKeyPath(root, "cbc:InvoiceTypeCode"),
                      stringForKeyPath(root, "cbc:CreditNoteTypeCode"));
    documentKind = documentKindForCode(InvoiceSyntax::UBL, typeCode, creditNote);
    for (XmlNode reference :
         nodesForKeyPath(root, "cac:BillingReference/cac:InvoiceDocumentReference"))
        precedingInvoices.push_back(
            {stringForKeyPath(reference, "cbc:ID"), dateForKeyPath(reference, "cbc:IssueDate")});
    const std::string legal = "cac:LegalMonetaryTotal/";
    lineTotalAmount = decimalNumberForKeyPath(root, legal + "cbc:LineExtensionAmount");
    allowanceTotalAmount = decimalNumberForKeyPath(root, legal + "cbc:AllowanceTotalAmount");
    chargeTotalAmount = decimalNumberForKeyPath(root, legal + "cbc:ChargeTotalAmount");
    taxBasisAmount = netAmount;
    roundingAmount = decimalNumberForKeyPath(root, legal + "cbc:PayableRoundingAmount");
    payeeName = stringForKeyPath(root, "cac:PayeeParty/cac:PartyName/cbc:Name");
    paymentReference = stringForKeyPath(root, "cac:PaymentMeans/cbc:PaymentID");
    std::vector<Account> accounts;
    for (XmlNode means : nodesForKeyPath(root, "cac:PaymentMeans")) {
        Account account;
        account.meansCode = stringForKeyPath(means, "cbc:PaymentMeansCode");
        account.directDebit = isDirectDebitCode(account.meansCode) ||
                              bool(elementForKeyPath(means, "cac:PaymentMandate"));
        if (account.directDebit) {
            account.accountID =
                stringForKeyPath(means, "cac:PaymentMandate/cac:PayerFinancialAccount/cbc:ID");
            account.mandate = stringForKeyPath(means, "cac:PaymentMandate/cbc:ID");
        } else {
            account.accountID = stringForKeyPath(means, "cac:PayeeFinancialAccount/cbc:ID");
            account.accountName = stringForKeyPath(means, "cac:PayeeFinancialAccount/cbc:Name");
            account.bic = stringForKeyPath(
                means, "cac:PayeeFinancialAccount/cac:FinancialInstitutionBranch/cbc:ID");
        }
        accounts.push_back(account);
    }
    takeCreditTransferAccount(*this, accounts);
}

void LLInvoice::populateFromFatturaPAXML(XmlNode root) {
    const std::string body = "FatturaElettronicaBody[" + std::to_string(fatturaPABody_) + "]/";
    const std::string document = body + "DatiGenerali/DatiGeneraliDocumento/";
    issueDate = dateForKeyPath(root, document + "Data");
    dueDate = dateForKeyPath(root, body + "DatiPagamento/DettaglioPagamento/DataScadenzaPagamento");
    number = stringForKeyPath(root, document + "Numero");
    syntax = InvoiceSyntax::FatturaPA;
    typeCode = stringForKeyPath(root, document + "TipoDocumento");
    buyerOrderReference =
        stringForKeyPath(root, body + "DatiGenerali/DatiOrdineAcquisto/IdDocumento");
    contractReference = stringForKeyPath(root, body + "DatiGenerali/DatiContratto/IdDocumento");
    receivingAdviceReference =
        stringForKeyPath(root, body + "DatiGenerali/DatiRicezione/IdDocumento");
    despatchAdviceReference = stringForKeyPath(root, body + "DatiGenerali/DatiDDT/NumeroDDT");
    projectReference = stringForKeyPath(root, body + "DatiGenerali/DatiOrdineAcquisto/CodiceCUP");
    documentKind = documentKindForCode(InvoiceSyntax::FatturaPA, typeCode);
    for (XmlNode reference : nodesForKeyPath(root, body + "DatiGenerali/DatiFattureCollegate"))
        precedingInvoices.push_back(
            {stringForKeyPath(reference, "IdDocumento"), dateForKeyPath(reference, "Data")});
    // The document total already includes the tax: it is the gross amount, and the net is what
    // remains after the tax summaries.
    grossAmount = decimalNumberForKeyPath(root, document + "ImportoTotaleDocumento");
    currency = elementFromXML<LLInvoiceCurrency>(root);
    if (currency) currency->name = stringForKeyPath(root, document + "Divisa");
    seller = readChild<LLInvoiceTradeParty>(root, "FatturaElettronicaHeader/CedentePrestatore");
    buyer = readChild<LLInvoiceTradeParty>(root, "FatturaElettronicaHeader/CessionarioCommittente");
    items = readList<LLInvoiceItem>(root, body + "DatiBeniServizi/DettaglioLinee");
    taxes = readList<LLInvoiceTax>(root, body + "DatiBeniServizi/DatiRiepilogo");
    Decimal sum = 0;
    for (const auto& entry : *taxes)
        if (entry->tax) sum += *entry->tax;
    taxAmount = sum;
    if (grossAmount) {
        netAmount = *grossAmount - *taxAmount;
    } else if (!taxes->empty()) {
        // Many files leave the document total out: the tax summaries still add up to it.
        Decimal base = 0;
        for (const auto& entry : *taxes)
            if (entry->net) base += *entry->net;
        netAmount = base;
        grossAmount = base + *taxAmount;
    }
    taxBasisAmount = netAmount;
    stampDutyAmount = decimalNumberForKeyPath(root, document + "DatiBollo/ImportoBollo");
    bool anyWithholding = false;
    Decimal withheld =
        sumOf(nodesForKeyPath(root, document + "DatiRitenuta"), "ImportoRitenuta", &anyWithholding);
    if (anyWithholding) {
        withholdingAmount = withheld;
        withholdingName = "Ritenuta";
    }
    std::vector<XmlNode> payments =
        nodesForKeyPath(root, body + "DatiPagamento/DettaglioPagamento");
    bool anyPayment = false;
    Decimal payable = sumOf(payments, "ImportoPagamento", &anyPayment);
    if (anyPayment) {
        finalAmount = payable;
    } else if (grossAmount) {
        finalAmount = *grossAmount - withholdingAmount.value_or(Decimal(0));
    }
    if (finalAmount) finalAmountAsString = finalAmount->toScaledString();
    std::vector<Account> accounts;
    for (XmlNode payment : payments) {
        Account account;
        account.meansCode = stringForKeyPath(payment, "ModalitaPagamento");
        // MP16, MP17: bank and postal direct debit; MP19 to MP21: SEPA direct debits.
        const auto& means = account.meansCode;
        account.directDebit = means && (*means == "MP16" || *means == "MP17" || *means == "MP19" ||
                                        *means == "MP20" || *means == "MP21");
        account.accountID = stringForKeyPath(payment, "IBAN");
        account.bic = stringForKeyPath(payment, "BIC");
        account.accountName = stringForKeyPath(payment, "Beneficiario");
        accounts.push_back(account);
        if (!account.directDebit && !payeeName) payeeName = account.accountName;
        if (!paymentReference) paymentReference = stringForKeyPath(payment, "CodicePagamento");
    }
    takeCreditTransferAccount(*this, accounts);
    if (seller && fatturaPABody_ > 1)
        seller->iban = stringForKeyPath(root, body + "DatiPagamento/DettaglioPagamento/IBAN");
}

std::vector<std::shared_ptr<LLInvoice>> LLInvoice::invoicesFromXML(XmlNode root) {
    std::vector<std::shared_ptr<LLInvoice>> invoices;
    if (!root) return invoices;
    const size_t bodies =
        detectSyntax(root) == InvoiceSyntax::FatturaPA
            ? nodesForKeyPath(root.documentElement(), "FatturaElettronicaBody").size()
            : 1;
    for (size_t i = 1; i <= std::max<size_t>(bodies, 1); ++i) {
        auto invoice = std::make_shared<LLInvoice>();
        invoice->fatturaPABody_ = int(i);
        if (!invoice->populate(root)) break;
        invoices.push_back(invoice);
    }
    return invoices;
}

void LLInvoice::populateFromFacturaeXML(XmlNode root) {
    issueDate = dateForKeyPath(root, agnostic("Invoices/Invoice/InvoiceIssueData/IssueDate"));
    number = stringForKeyPath(root, agnostic("Invoices/Invoice/InvoiceHeader/InvoiceNumber"));
    netAmount = decimalNumberForKeyPath(
        root, agnostic("Invoices/Invoice/InvoiceTotals/TotalGrossAmountBeforeTaxes"));
    taxAmount =
        decimalNumberForKeyPath(root, agnostic("Invoices/Invoice/InvoiceTotals/TotalTaxOutputs"));
    grossAmount =
        decimalNumberForKeyPath(root, agnostic("Invoices/Invoice/InvoiceTotals/InvoiceTotal"));
    finalAmount = decimalNumberForKeyPath(
        root, agnostic("Invoices/Invoice/InvoiceTotals/TotalOutstandingAmount"));
    currency = elementFromXML<LLInvoiceCurrency>(root);
    seller = readChild<LLInvoiceTradeParty>(root, agnostic("Parties/SellerParty"));
    buyer = readChild<LLInvoiceTradeParty>(root, agnostic("Parties/BuyerParty"));
    items = readList<LLInvoiceItem>(root, agnostic("Invoices/Invoice/Items/InvoiceLine"));
    taxes = readList<LLInvoiceTax>(root, agnostic("Invoices/Invoice/TaxesOutputs/Tax"));
    // PaymentMeans is a code ("04": transfer), no terms; the account block shows how to pay.
    conditions = std::nullopt;
    dueDate = dateForKeyPath(
        root, agnostic("Invoices/Invoice/PaymentDetails/Installment/InstallmentDueDate"));

    syntax = InvoiceSyntax::Facturae;
    typeCode = stringForKeyPath(root, agnostic("Invoices/Invoice/InvoiceHeader/InvoiceClass"));
    documentKind = documentKindForCode(InvoiceSyntax::Facturae, typeCode);
    if (XmlNode corrective =
            elementForKeyPath(root, agnostic("Invoices/Invoice/InvoiceHeader/Corrective"))) {
        if (documentKind == DocumentKind::Invoice) documentKind = DocumentKind::Correction;
        auto correctedNumber = stringForKeyPath(corrective, agnostic("InvoiceNumber"));
        if (auto series = stringForKeyPath(corrective, agnostic("InvoiceSeriesCode")))
            correctedNumber = *series + correctedNumber.value_or("");
        precedingInvoices.push_back(
            {correctedNumber, dateForKeyPath(corrective, agnostic("InvoiceIssueDate"))});
    }
    numberSeries =
        stringForKeyPath(root, agnostic("Invoices/Invoice/InvoiceHeader/InvoiceSeriesCode"));
    allowancesCharges.emplace();
    for (bool charge : {false, true}) {
        const std::string kind = charge ? "Charge" : "Discount";
        const std::string path = charge ? "Invoices/Invoice/GeneralSurcharges/Charge"
                                        : "Invoices/Invoice/GeneralDiscounts/Discount";
        for (XmlNode node : nodesForKeyPath(root, agnostic(path))) {
            auto entry = std::make_shared<LLInvoiceAllowanceCharge>();
            entry->isCharge = charge;
            entry->reason = stringForKeyPath(node, agnostic(kind + "Reason"));
            entry->percentage = decimalNumberForKeyPath(node, agnostic(kind + "Rate"));
            entry->amount = decimalNumberForKeyPath(node, agnostic(kind + "Amount"));
            allowancesCharges->push_back(entry);
        }
    }
    const std::string totals = "Invoices/Invoice/InvoiceTotals/";
    lineTotalAmount = decimalNumberForKeyPath(root, agnostic(totals + "TotalGrossAmount"));
    allowanceTotalAmount =
        decimalNumberForKeyPath(root, agnostic(totals + "TotalGeneralDiscounts"));
    chargeTotalAmount = decimalNumberForKeyPath(root, agnostic(totals + "TotalGeneralSurcharges"));
    taxBasisAmount = netAmount;
    withholdingAmount = decimalNumberForKeyPath(root, agnostic(totals + "TotalTaxesWithheld"));
    if (withholdingAmount && withholdingAmount->isZero()) withholdingAmount.reset();
    if (withholdingAmount) {
        auto code =
            stringForKeyPath(root, agnostic("Invoices/Invoice/TaxesWithheld/Tax/TaxTypeCode"));
        withholdingName = code ? facturaeTaxName(*code) : std::string("Withholding tax");
    }
    if (!finalAmount)
        finalAmount = decimalNumberForKeyPath(root, agnostic(totals + "TotalExecutableAmount"));
    if (finalAmount) finalAmountAsString = finalAmount->toScaledString();
    std::vector<Account> accounts;
    for (XmlNode installment :
         nodesForKeyPath(root, agnostic("Invoices/Invoice/PaymentDetails/Installment"))) {
        if (!paymentReference)
            paymentReference =
                stringForKeyPath(installment, agnostic("PaymentReconciliationReference"));
        Account account;
        account.meansCode = stringForKeyPath(installment, agnostic("PaymentMeans"));
        // 02: direct debit ("recibo domiciliado"): the account belongs to the buyer.
        account.directDebit = account.meansCode == "02";
        const char* accountPath =
            account.directDebit ? "AccountToBeDebited/" : "AccountToBeCredited/";
        account.accountID =
            stringForKeyPath(installment, agnostic(std::string(accountPath) + "IBAN"));
        if (!account.accountID)
            account.accountID =
                stringForKeyPath(installment, agnostic(std::string(accountPath) + "AccountNumber"));
        account.bic = stringForKeyPath(installment, agnostic(std::string(accountPath) + "BIC"));
        accounts.push_back(account);
    }
    takeCreditTransferAccount(*this, accounts);
}

bool LLInvoice::totalIsCredited() const {
    const bool negative = finalAmount && finalAmount->isNegative();
    return (documentKind == DocumentKind::CreditNote) != negative;
}

}  // namespace model
