#pragma once

#include <QAbstractListModel>
#include <QString>
#include <string>
#include <vector>

namespace nomilo {

// An entry's text as shown: its bytes decoded from UTF-8, bytes that are not UTF-8 as
// replacement characters.
inline QString DecodedText(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A list control's entries as a Qt list model: a vector of entries, each with its text as bytes
// (`TEntry::text`), shown decoded from UTF-8 (bytes that are not UTF-8 as replacement
// characters). Rows are checked by the caller.
template <typename TEntry> class TEntryListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : Count();
    }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        if (!index.isValid() || !IsRow(index.row()))
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            return DecodedText(Entry(index.row()).text);
        default:
            return {};
        }
    }

    int Count() const { return static_cast<int>(entries_.size()); }
    bool IsRow(int row) const { return row >= 0 && row < Count(); }
    const TEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }

    // Replaces every entry (one model reset).
    void Assign(std::vector<TEntry> entries) {
        beginResetModel();
        entries_ = std::move(entries);
        endResetModel();
    }

protected:
    TEntry& MutableEntry(int row) { return entries_[static_cast<std::size_t>(row)]; }

    std::vector<TEntry> entries_;
};

} // namespace nomilo
