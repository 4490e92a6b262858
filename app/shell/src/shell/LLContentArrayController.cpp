#include "shell/LLContentArrayController.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <set>

#include "library/LLExport.h"
#include "library/LLInvoiceList.h"
#include "library/LLManagedObject.h"
#include "platform/Log.h"
#include "shell/LLStatusDot.h"
#include "shell/SFLocalize.h"

namespace shell {
namespace {

library::LLValidationStatus statusOf(const library::LLInvoiceRecord& record) {
    return library::validationStatusOf(record.validationResult());
}

// Absent values sort first; values of one kind by their natural order (texts as people sort
// them in their language).
int compareValues(const library::LLValue& a, const library::LLValue& b, const QCollator& collator) {
    const bool aNone = std::holds_alternative<std::monostate>(a);
    const bool bNone = std::holds_alternative<std::monostate>(b);
    if (aNone || bNone) return aNone == bNone ? 0 : (aNone ? -1 : 1);
    if (a.index() != b.index()) return a.index() < b.index() ? -1 : 1;
    if (auto* text = std::get_if<std::string>(&a))
        return collator.compare(QString::fromStdString(*text),
                                QString::fromStdString(std::get<std::string>(b)));
    auto order = [](const auto& x, const auto& y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if (auto* instant = std::get_if<library::LLInstant>(&a))
        return order(*instant, std::get<library::LLInstant>(b));
    if (auto* decimal = std::get_if<platform::Decimal>(&a))
        return order(*decimal, std::get<platform::Decimal>(b));
    return order(std::get<std::int64_t>(a), std::get<std::int64_t>(b));
}

}  // namespace

LLContentArrayController::LLContentArrayController(QObject* parent)
    : QAbstractTableModel(parent), columns_(library::invoiceListCopyInstructions()) {}

LLContentArrayController::~LLContentArrayController() = default;

void LLContentArrayController::setContent(
    std::vector<std::shared_ptr<library::LLInvoiceRecord>> records) {
    content_ = std::move(records);
    rearrange();
}

void LLContentArrayController::setFilterPredicate(
    std::optional<library::LLInvoicePredicate> predicate) {
    filter_ = std::move(predicate);
    rearrange();
}

void LLContentArrayController::setSearchString(const QString& text) {
    if (text == searchString_) return;
    searchString_ = text;
    rearrange();
}

void LLContentArrayController::rearrange() {
    beginResetModel();
    arranged_ = library::arrangeInvoices(content_, filter_, searchString_.toStdString());
    sortArranged();
    rowsByURI_.clear();
    endResetModel();
    emit arrangedObjectsChanged();
}

void LLContentArrayController::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column;
    sortOrder_ = order;
    emit layoutAboutToBeChanged();
    // Keep the selection on the same records through the new order.
    QModelIndexList before = persistentIndexList();
    std::vector<std::string> uris;
    for (const QModelIndex& index : before) {
        auto record = recordAtRow(index.row());
        uris.push_back(record ? record->uriString() : std::string());
    }
    sortArranged();
    rowsByURI_.clear();
    QModelIndexList after;
    for (std::size_t i = 0; i < uris.size(); ++i) {
        int row = uris[i].empty() ? -1 : rowForURIString(uris[i]);
        after.push_back(row < 0 ? QModelIndex() : index(row, before[int(i)].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void LLContentArrayController::sortArranged() {
    if (sortColumn_ < 0 || sortColumn_ > int(columns_.size())) return;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    auto less = [&](const std::shared_ptr<library::LLInvoiceRecord>& a,
                    const std::shared_ptr<library::LLInvoiceRecord>& b) {
        int order;
        if (sortColumn_ == kStatusColumn) {
            order = int(statusOf(*a)) - int(statusOf(*b));
        } else {
            const std::string& key = columns_[sortColumn_ - 1].key;
            order = compareValues(a->valueForKey(key), b->valueForKey(key), collator);
        }
        return sortOrder_ == Qt::AscendingOrder ? order < 0 : order > 0;
    };
    std::stable_sort(arranged_.begin(), arranged_.end(), less);
}

std::shared_ptr<library::LLInvoiceRecord> LLContentArrayController::recordAtRow(int row) const {
    if (row < 0 || row >= int(arranged_.size())) return nullptr;
    return arranged_[row];
}

int LLContentArrayController::rowForURIString(const std::string& uri) const {
    if (rowsByURI_.empty() && !arranged_.empty()) {
        rowsByURI_.reserve(arranged_.size());
        for (std::size_t i = 0; i < arranged_.size(); ++i)
            rowsByURI_.emplace(arranged_[i]->uriString(), int(i));
    }
    auto it = rowsByURI_.find(uri);
    return it == rowsByURI_.end() ? -1 : it->second;
}

int LLContentArrayController::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(arranged_.size());
}

int LLContentArrayController::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size()) + 1;
}

QVariant LLContentArrayController::data(const QModelIndex& index, int role) const {
    auto record = recordAtRow(index.row());
    if (!record || index.column() < 0 || index.column() > int(columns_.size())) return {};
    if (role == URIRole) return QString::fromStdString(record->uriString());
    if (index.column() == kStatusColumn) {
        const auto status = statusOf(*record);
        switch (role) {
            case StatusRole:
                return int(status);
            case Qt::DecorationRole:
                return statusDotIcon(status);
            case Qt::ToolTipRole:
            case Qt::AccessibleTextRole:
                return statusDotToolTip(status);
            default:
                return {};
        }
    }
    const library::LLCopyColumn& column = columns_[index.column() - 1];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return QString::fromStdString(library::formattedCellValue(*record, column));
    if (role == Qt::TextAlignmentRole && column.transformerName == "SFNumberTransformer")
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant LLContentArrayController::headerData(int section, Qt::Orientation orientation,
                                              int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (section == kStatusColumn) {
        if (role == Qt::ToolTipRole) return localizedString("Status");
        return {};
    }
    if (section < 1 || section > int(columns_.size())) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(columns_[section - 1].name);
    return {};
}

Qt::ItemFlags LLContentArrayController::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList LLContentArrayController::mimeTypes() const { return {"text/uri-list"}; }

Qt::DropActions LLContentArrayController::supportedDragActions() const { return Qt::CopyAction; }

QMimeData* LLContentArrayController::mimeData(const QModelIndexList& indexes) const {
    std::set<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid()) rows.insert(index.row());
    if (rows.empty()) return nullptr;
    if (!dragFolder_) {
        dragFolder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/ledgerlens-drag-XXXXXX");
        if (!dragFolder_->isValid()) {
            platform::logLine("Drag: no temporary folder for the dragged invoices");
            dragFolder_.reset();
            return nullptr;
        }
    }
    // A folder per drag and row: the files of one row never meet another's.
    const QString dragPath = dragFolder_->filePath(QString::number(++dragCount_));
    QList<QUrl> urls;
    for (int row : rows) {
        auto record = recordAtRow(row);
        if (!record) continue;
        const QString rowPath = dragPath + "/" + QString::number(row);
        auto summary = library::exportRecords({record}, rowPath.toStdString());
        for (const auto& problem : summary.problems) platform::logLine("Drag: " + problem);
        // The export's layout is <seller>/<number>/<number>.xml|pdf; the files are what leaves.
        QStringList files;
        QDirIterator it(rowPath, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) files << it.next();
        files.sort();
        for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    }
    if (urls.isEmpty()) return nullptr;
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

}  // namespace shell
