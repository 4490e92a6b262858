#pragma once

#include <string_view>

#include "model/LLInvoiceAllowanceCharge.h"
#include "model/LLInvoiceCurrency.h"
#include "model/LLInvoiceElement.h"
#include "model/LLInvoiceItem.h"
#include "model/LLInvoiceNote.h"
#include "model/LLInvoiceTax.h"
#include "model/LLInvoiceTradeParty.h"

namespace model {

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

    void populateFromUBLXML(XmlNode root) override;
    void populateFromCIIXML(XmlNode root) override;
    void populateFromFatturaPAXML(XmlNode root) override;
    void populateFromFacturaeXML(XmlNode root) override;

    std::optional<SubstitutionDictionary> substitutionDictionary() const override;
    // Values of the prepayment rows; none without a prepaid amount.
    std::optional<SubstitutionDictionary> prepaidDictionary() const;
};

}  // namespace model
