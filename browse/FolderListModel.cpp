#include "browse/FolderListModel.h"

namespace nomilo {

int TFolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant TFolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsRow(index.row()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const std::string& text = Entry(index.row()).text;
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    default:
        return {};
    }
}

void TFolderListModel::Assign(std::vector<TFolderEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

} // namespace nomilo
