#pragma once

#include "listing/TextSpan.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

namespace nomilo {

// An entry's text as shown: its bytes decoded from UTF-8, bytes that are not UTF-8 as
// replacement characters.
inline QString DecodedText(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A list control's entries as a Qt list model: a vector of entries, each with its text as bytes
// in one buffer that holds the texts of all entries (`TEntry::text` says where), shown decoded
// from UTF-8 (bytes that are not UTF-8 as replacement characters). Rows are checked by the
// caller.
template <typename TEntry> class TEntryListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : Count();
    }

    // The view asks for an index of every row each time it lays the list out.
    QModelIndex index(int row, int column = 0,
                      const QModelIndex& parent = QModelIndex()) const override {
        return column == 0 && !parent.isValid() && IsRow(row) ? createIndex(row, 0) : QModelIndex();
    }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        if (!index.isValid() || !IsRow(index.row()))
            return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            return DecodedText(Text(index.row()));
        default:
            return {};
        }
    }

    int Count() const { return static_cast<int>(entries_.size()); }
    bool IsRow(int row) const { return row >= 0 && row < Count(); }
    const TEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }
    std::string_view Text(int row) const {
        const TTextSpan& span = Entry(row).text;
        return std::string_view(texts_.constData() + span.offset, span.length);
    }

    // Replaces every entry (one model reset); `texts` holds their texts.
    void Assign(std::vector<TEntry> entries, QByteArray texts) {
        beginResetModel();
        entries_ = std::move(entries);
        texts_ = std::move(texts);
        texts_.squeeze();
        unused_ = 0;
        endResetModel();
    }
    void Clear() { Assign({}, {}); }

    // Puts `text` at the end of `texts` and answers where.
    static TTextSpan AppendText(QByteArray& texts, std::string_view text) {
        if (static_cast<std::uint64_t>(texts.size()) + text.size() >
            std::numeric_limits<std::uint32_t>::max())
            throw std::bad_alloc();
        const TTextSpan span{static_cast<std::uint32_t>(texts.size()),
                             static_cast<std::uint32_t>(text.size())};
        texts.append(text.data(), static_cast<qsizetype>(text.size()));
        return span;
    }

protected:
    TEntry& MutableEntry(int row) { return entries_[static_cast<std::size_t>(row)]; }

    // Gives entry `row` the text `text`. The old text's bytes stay unused in the buffer until
    // they are as many as the used ones; then the buffer is written anew.
    void SetText(int row, std::string_view text) {
        if (texts_.size() > 4096 && unused_ > static_cast<std::size_t>(texts_.size()) / 2)
            Compact();
        const std::uint32_t old = Entry(row).text.length;
        MutableEntry(row).text = AppendText(texts_, text);
        unused_ += old;
    }

    std::vector<TEntry> entries_;

private:
    void Compact() {
        QByteArray texts;
        texts.reserve(texts_.size() - static_cast<qsizetype>(unused_));
        for (TEntry& entry : entries_)
            entry.text = AppendText(
                texts, std::string_view(texts_.constData() + entry.text.offset, entry.text.length));
        texts_ = std::move(texts);
        unused_ = 0;
    }

    QByteArray texts_;
    std::size_t unused_ = 0; // bytes of texts_ no entry uses
};

} // namespace nomilo
