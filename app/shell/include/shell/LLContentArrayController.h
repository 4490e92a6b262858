#pragma once

#include <QAbstractTableModel>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "library/LLCopyColumn.h"
#include "library/LLInvoicePredicate.h"

namespace library {
class LLInvoiceRecord;
}

namespace shell {

// The invoice list of a library window as a Qt model: every record of the library, narrowed by
// the source list's groups and the search text, in the chosen sort order. Column 0 is the
// validation status dot, the others are the copy instructions' columns.
class LLContentArrayController : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Role { StatusRole = Qt::UserRole + 1, URIRole };
    static constexpr int kStatusColumn = 0;

    explicit LLContentArrayController(QObject* parent = nullptr);
    ~LLContentArrayController() override;

    // Every record of the library (the list arranges a subset of them).
    void setContent(std::vector<std::shared_ptr<library::LLInvoiceRecord>> records);
    const std::vector<std::shared_ptr<library::LLInvoiceRecord>>& content() const {
        return content_;
    }
    // The source list's filter; none shows every record.
    void setFilterPredicate(std::optional<library::LLInvoicePredicate> predicate);
    // Seller names containing the text, ignoring case and accents.
    void setSearchString(const QString& text);
    QString searchString() const { return searchString_; }
    const std::vector<std::shared_ptr<library::LLInvoiceRecord>>& arrangedObjects() const {
        return arranged_;
    }
    std::shared_ptr<library::LLInvoiceRecord> recordAtRow(int row) const;
    // The row of a record (by URI), -1 when it is not shown.
    int rowForURIString(const std::string& uri) const;
    const std::vector<library::LLCopyColumn>& copyInstructions() const { return columns_; }

    // --- QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Dragged rows become files: per row the invoice's XML and PDF as the export writes them,
    // in a temporary folder that lives as long as this list.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

  signals:
    // After every change of what the list shows.
    void arrangedObjectsChanged();

  private:
    void rearrange();
    void sortArranged();

    std::vector<library::LLCopyColumn> columns_;
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> content_;
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> arranged_;
    std::optional<library::LLInvoicePredicate> filter_;
    QString searchString_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    // URI → row of the arranged records, built when first asked after a change.
    mutable std::unordered_map<std::string, int> rowsByURI_;
    mutable std::unique_ptr<QTemporaryDir> dragFolder_;
    mutable int dragCount_ = 0;
};

}  // namespace shell
