#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/LLValidationStatus.h"
#include "library/LLValue.h"

namespace library {

class LLObjectContext;
class LLTaxSubtotalRecord;

// A stored record as seen by one object context. Objects never cross threads: hand their
// URI strings over and resolve them in the other context.
class LLManagedObject : public std::enable_shared_from_this<LLManagedObject> {
  public:
    virtual ~LLManagedObject() = default;

    virtual const char* entityName() const = 0;
    std::int64_t rowID() const { return rowID_; }
    LLObjectContext* managedObjectContext() const { return context_; }
    bool isDeleted() const { return deleted_; }

    // "ledgerlens://<store-uuid>/<Entity>/<rowid>".
    std::string uriString() const;
    // The same record in another context of the same store; none when it is not there.
    std::shared_ptr<LLManagedObject> objectInContext(LLObjectContext& other) const;

    // Attribute by name; none for an unknown key.
    virtual LLValue valueForKey(std::string_view key) const = 0;

    // Base attributes.
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> value);
    const std::optional<std::string>& uid() const { return uid_; }
    void setUid(std::optional<std::string> value);

  protected:
    LLManagedObject(LLObjectContext* context, std::int64_t rowID)
        : context_(context), rowID_(rowID) {}
    // Writes one column of this record through the context; false when the store refused.
    bool write(const char* column, const LLValue& value);

    friend class LLObjectContext;
    LLObjectContext* context_;
    std::int64_t rowID_;
    bool deleted_ = false;
    std::optional<std::string> name_;
    std::optional<std::string> uid_;
};

// One imported invoice: summary fields for listing, grouping and search, the duplicate key, the
// XML (and PDF) it came from and its validation result code.
class LLInvoiceRecord : public LLManagedObject {
  public:
    static constexpr const char* kEntityName = "Invoice";
    const char* entityName() const override { return kEntityName; }

    // Everything the import sets in one go (absent values overwrite what was stored).
    struct Summary {
        std::optional<LLInstant> dateIssued;
        std::optional<LLInstant> dateDue;
        std::optional<platform::Decimal> payableAmount;
        std::optional<platform::Decimal> taxExclusiveAmount;
        std::optional<platform::Decimal> taxInclusiveAmount;
        std::optional<std::string> sellerName;
        std::optional<std::string> name;
        std::optional<std::string> currencyCode;
        std::optional<std::string> identifier;
        std::optional<std::string> xml;
        // Written only when set: an import's other columns ride along in the same write,
        // since every write rewrites the whole row with its blobs.
        std::optional<std::string> xmlReceived;
        std::optional<std::string> pdf;
        std::optional<std::string> pdfReceived;
        std::optional<LLValidationResult> validationResult;
    };
    // False when the store refused a write (read-only file, full disk, a duplicate key).
    bool setSummary(const Summary& summary);

    const std::optional<std::string>& identifier() const { return identifier_; }
    const std::optional<std::string>& sellerName() const { return sellerName_; }
    const std::optional<LLInstant>& dateIssued() const { return dateIssued_; }
    const std::optional<LLInstant>& dateDue() const { return dateDue_; }
    const std::optional<std::string>& currencyCode() const { return currencyCode_; }
    const std::optional<platform::Decimal>& taxExclusiveAmount() const { return taxExclusive_; }
    const std::optional<platform::Decimal>& taxInclusiveAmount() const { return taxInclusive_; }
    const std::optional<platform::Decimal>& payableAmount() const { return payable_; }
    LLValidationResult validationResult() const { return validationResult_; }

    void setIdentifier(std::optional<std::string> value);
    void setSellerName(std::optional<std::string> value);
    void setDateIssued(std::optional<LLInstant> value);
    void setDateDue(std::optional<LLInstant> value);
    void setCurrencyCode(std::optional<std::string> value);
    void setTaxExclusiveAmount(std::optional<platform::Decimal> value);
    void setTaxInclusiveAmount(std::optional<platform::Decimal> value);
    void setPayableAmount(std::optional<platform::Decimal> value);
    bool setValidationResult(LLValidationResult result);

    // The large attributes are read from the store on first use.
    std::optional<std::string> xml() const;
    std::optional<std::string> pdf() const;
    void setXml(std::optional<std::string> value);
    void setPdf(std::optional<std::string> value);
    // The bytes as they arrived: the XML file or the PDF's embedded file, and the PDF file.
    // None for records imported before they were kept.
    std::optional<std::string> xmlReceived() const;
    std::optional<std::string> pdfReceived() const;
    bool setXmlReceived(std::optional<std::string> value);
    bool setPdfReceived(std::optional<std::string> value);
    // The tax lines pointing at this invoice.
    std::vector<std::shared_ptr<LLTaxSubtotalRecord>> taxLines() const;

    LLValue valueForKey(std::string_view key) const override;

  private:
    friend class LLObjectContext;
    using LLManagedObject::LLManagedObject;

    std::optional<std::string> identifier_;
    std::optional<std::string> sellerName_;
    std::optional<LLInstant> dateIssued_;
    std::optional<LLInstant> dateDue_;
    std::optional<std::string> currencyCode_;
    std::optional<platform::Decimal> taxExclusive_;
    std::optional<platform::Decimal> taxInclusive_;
    std::optional<platform::Decimal> payable_;
    LLValidationResult validationResult_ = LLValidationResult::NotValidated;
    mutable std::optional<std::optional<std::string>> xml_;  // outer: loaded or not
    mutable std::optional<std::optional<std::string>> pdf_;
    mutable std::optional<std::optional<std::string>> xmlReceived_;
    mutable std::optional<std::optional<std::string>> pdfReceived_;
};

// A tax subtotal line of an invoice. Part of the stored model; nothing creates one yet.
class LLTaxSubtotalRecord : public LLManagedObject {
  public:
    static constexpr const char* kEntityName = "TaxSubtotal";
    const char* entityName() const override { return kEntityName; }

    const std::optional<platform::Decimal>& gross() const { return gross_; }
    const std::optional<platform::Decimal>& net() const { return net_; }
    const std::optional<platform::Decimal>& percentage() const { return percentage_; }
    const std::optional<platform::Decimal>& tax() const { return tax_; }
    const std::optional<std::string>& taxScheme() const { return taxScheme_; }
    // The invoice this line belongs to (its row), none when unassigned.
    const std::optional<std::int64_t>& invoiceRowID() const { return invoice_; }

    void setGross(std::optional<platform::Decimal> value);
    void setNet(std::optional<platform::Decimal> value);
    void setPercentage(std::optional<platform::Decimal> value);
    void setTax(std::optional<platform::Decimal> value);
    void setTaxScheme(std::optional<std::string> value);
    void setInvoice(const std::shared_ptr<LLInvoiceRecord>& invoice);

    LLValue valueForKey(std::string_view key) const override;

  private:
    friend class LLObjectContext;
    using LLManagedObject::LLManagedObject;

    std::optional<platform::Decimal> gross_, net_, percentage_, tax_;
    std::optional<std::string> taxScheme_;
    std::optional<std::int64_t> invoice_;
};

}  // namespace library
