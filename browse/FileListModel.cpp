#include "browse/FileListModel.h"

#include <algorithm>
#include <utility>

namespace nomilo {

TFileListModel::TFileListModel(QObject* parent) : TEntryListModel(parent) {
    // A read brings other entries: the preview of the old ones goes, and so do their folders.
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        preview_.Reset(0);
        folders_ = std::exchange(nextFolders_, TFolderRuns());
    });
    connect(this, &QAbstractItemModel::modelReset, this, [this] {
        selectedCount_ =
            static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                           [](const TFileEntry& entry) { return entry.selected; }));
    });
}

void TFileListModel::AssignTree(std::vector<TFileEntry> entries, QByteArray texts,
                                TFolderRuns folders) {
    nextFolders_ = std::move(folders);
    Assign(std::move(entries), std::move(texts));
}

QString TFileListModel::ShownPath(int row, std::string_view text) const {
    const std::string_view folder = Folder(row).path;
    if (folder.empty())
        return DecodedText(text);
    return DecodedText(PathInFolder(folder, text));
}

void TFileListModel::ReplaceText(int row, std::string_view text) {
    SetText(row, text);
    TFileEntry& entry = MutableEntry(row);
    selectedCount_ -= entry.selected;
    entry.selected = false;
    RowsChanged(row, row);
}

void TFileListModel::SetSelected(int row, bool selected) {
    TFileEntry& entry = MutableEntry(row);
    if (entry.selected == selected)
        return;
    entry.selected = selected;
    selectedCount_ += selected ? 1 : -1;
    RowsChanged(row, row);
}

void TFileListModel::SelectOnly(int first, int last) {
    if (first > last)
        std::swap(first, last);
    int lowest = first, highest = last;
    for (int row = 0; row < Count(); ++row) {
        TFileEntry& entry = MutableEntry(row);
        const bool wanted = row >= first && row <= last;
        if (entry.selected != wanted) {
            entry.selected = wanted;
            selectedCount_ += wanted ? 1 : -1;
            lowest = std::min(lowest, row);
            highest = std::max(highest, row);
        }
    }
    RowsChanged(lowest, highest);
}

void TFileListModel::SelectRange(int first, int last) {
    if (first > last)
        std::swap(first, last);
    for (int row = first; row <= last; ++row) {
        TFileEntry& entry = MutableEntry(row);
        selectedCount_ += !entry.selected;
        entry.selected = true;
    }
    RowsChanged(first, last);
}

void TFileListModel::SelectAll() {
    for (TFileEntry& entry : entries_)
        entry.selected = true;
    selectedCount_ = Count();
    RowsChanged(0, Count() - 1);
}

TPreview TFileListModel::SetPreview(TPreview preview) {
    std::swap(preview_, preview);
    return preview;
}

void TFileListModel::ClearPreview() {
    preview_.Reset(0);
}

std::optional<TPreviewEntryView> TFileListModel::Preview(int row) const {
    if (preview_.Size() != entries_.size() || !IsRow(row))
        return std::nullopt;
    const TPreviewEntryView entry = preview_[static_cast<std::size_t>(row)];
    if (entry.mark == TPreviewEntry::Untouched)
        return std::nullopt;
    return entry;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsRow(index.row()))
        return {};
    const int row = index.row();
    const std::optional<TPreviewEntryView> preview =
        role == Qt::ToolTipRole ? Preview(row) : std::nullopt;
    if (!preview) {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return ShownPath(row, Text(row));
        return {};
    }
    QString tip =
        ShownPath(row, Text(row)) + QStringLiteral(" -> ") + ShownPath(row, preview->newName);
    if (preview->mark == TPreviewEntry::Refused && refusalText)
        tip += QStringLiteral(": ") + refusalText(preview->reason);
    return tip;
}

void TFileListModel::RowsChanged(int first, int last) {
    if (first <= last)
        emit dataChanged(index(first), index(last));
}

} // namespace nomilo
