#include "browse/FileListModel.h"

#include <algorithm>

namespace nomilo {

int TFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsRow(index.row()))
        return {};
    const TFileEntry& entry = Entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
        return QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size()));
    default:
        return {};
    }
}

void TFileListModel::Assign(std::vector<TFileEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

void TFileListModel::ReplaceText(int row, const std::string& text) {
    TFileEntry& entry = entries_[static_cast<std::size_t>(row)];
    entry.text = text;
    entry.selected = false;
    RowsChanged(row, row);
}

void TFileListModel::SetSelected(int row, bool selected) {
    TFileEntry& entry = entries_[static_cast<std::size_t>(row)];
    if (entry.selected == selected)
        return;
    entry.selected = selected;
    RowsChanged(row, row);
}

void TFileListModel::SelectOnly(int first, int last) {
    if (first > last)
        std::swap(first, last);
    int lowest = first, highest = last;
    for (int row = 0; row < Count(); ++row) {
        TFileEntry& entry = entries_[static_cast<std::size_t>(row)];
        const bool wanted = row >= first && row <= last;
        if (entry.selected != wanted) {
            entry.selected = wanted;
            lowest = std::min(lowest, row);
            highest = std::max(highest, row);
        }
    }
    RowsChanged(lowest, highest);
}

void TFileListModel::SelectRange(int first, int last) {
    if (first > last)
        std::swap(first, last);
    for (int row = first; row <= last; ++row)
        entries_[static_cast<std::size_t>(row)].selected = true;
    RowsChanged(first, last);
}

void TFileListModel::SelectAll() {
    for (TFileEntry& entry : entries_)
        entry.selected = true;
    RowsChanged(0, Count() - 1);
}

void TFileListModel::RowsChanged(int first, int last) {
    if (first <= last)
        emit dataChanged(index(first), index(last));
}

} // namespace nomilo
