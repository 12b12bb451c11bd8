#include "browse/FileListBox.h"

#include "browse/Accessibility.h"
#include "browse/DirectoryListBox.h"
#include "browse/EListError.h"
#include "browse/FontLineHeight.h"
#include "browse/Hourglass.h"
#include "browse/InsertionWatch.h"
#include "browse/LinkLookNews.h"
#include "browse/OwnerDrawDelegate.h"
#include "listing/LocaleText.h"
#include "listing/MaskSearch.h"
#include "listing/NameOrder.h"
#include "platform/drives/Drives.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/DirSearch.h"
#include "platform/files/EInOutError.h"
#include "platform/files/FileAttributes.h"
#include "platform/files/ResponsiveCalls.h"
#include "platform/files/SameFolder.h"
#include "platform/process/FreeMemory.h"
#include "platform/text/AsciiText.h"
#include "resources/Glyphs.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <algorithm>
#include <new>
#include <optional>
#include <unordered_set>

namespace nomilo {

namespace {

// The size the glyphs are drawn for: 16 x 15. A glyph missing from the resources still takes
// its place, so that the layout does not depend on the drawings.
constexpr QSize kGlyphSize(16, 15);

QSize GlyphSize(const QPixmap& glyph) {
    return glyph.isNull() ? kGlyphSize : glyph.size();
}

// How often the list shows anew how far a walk down its subfolders has come.
constexpr int kWalkShownMs = 200;

// A read shows the hourglass from the entry inserted at this index on.
constexpr std::size_t kHourglassIndex = 100;

// After a read of this many entries, or one that replaced as many, the memory freed goes back
// to the system at once.
constexpr std::size_t kLargeRead = 10000;

// The extension of `name` from its last "." on, lower-cased by the locale, is one of the
// executables'.
bool IsExecutableName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    std::string extension(name.substr(dot));
    const bool ascii = std::all_of(extension.begin(), extension.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        // Lower-casing ASCII by the locale folds A-Z and nothing else.
        for (char& c : extension)
            c = AsciiLower(c);
    } else {
        extension = LowerCaseByLocale(extension);
    }
    return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".pif";
}

// The mount points a look must not wait on, of the mounts a file list works with: those of
// its folder list, else the machine's.
std::vector<std::string> RemoteMountPointsOf(const TDirectoryListBox* folderList) {
    return folderList ? folderList->RemoteMountPoints() : RemoteMountPoints();
}

// A folder's entry text: "[" + name + "]".
std::string Bracketed(std::string_view name) {
    std::string text;
    text.reserve(name.size() + 2);
    text.push_back('[');
    text.append(name);
    text.push_back(']');
    return text;
}

} // namespace

TFileListBox::TFileListBox(QWidget* parent)
    : QListView(parent), model_(new TFileListModel(this)), folderPath_(CurrentDirOrHome()) {
    InstallBrowseAccessibility();
    setModel(model_);
    setItemDelegate(new TOwnerDrawDelegate<TFileListBox>(this));
    // Selection lives in the model's flags; the view's own selection stays empty.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    TellCurrentEntryOnFocus(*this);
    resize(145, height());
    LoadGlyphs();
    UpdateItemHeight();
    connect(&TLinkLookNews::Instance(), &TLinkLookNews::Answered, this,
            [this](const QByteArray& folder) { LinkLooked(folder.toStdString()); });
    walkShown_.setInterval(kWalkShownMs);
    connect(&walkShown_, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
}

TFileListBox::~TFileListBox() = default;

// --- properties -------------------------------------------------------------------------------

bool TFileListBox::IsFolderShown(const std::string& path) const {
    if (path == folderPath_)
        return true;
    if (CompareByLocale(LowerCaseByLocale(path), LowerCaseByLocale(folderPath_)) != 0)
        return false;
    // Equal by the locale is not yet the same folder: on a case-sensitive file system, or with
    // names that are not UTF-8, two folders can compare equal. Only another folder that exists
    // under that spelling is changed to.
    const std::string resolved = path.starts_with('/') ? path : folderPath_ + "/" + path;
    return !FolderExists(resolved) || SameFolder(resolved, folderPath_);
}

void TFileListBox::SetFolderListLink(TDirectoryListBox* folderList) {
    folderListLink_ = folderList;
}

TDirectoryListBox* TFileListBox::FolderListLink() const {
    return folderListLink_.data();
}

void TFileListBox::SetFolderPath(const std::string& path) {
    if (IsFolderShown(path))
        return;
    // A relative path is taken relative to the folder shown.
    ChangeCurrentDirFrom(folderPath_, path);
    folderPath_ = GetCurrentDir();
    RebuildEntries();
}

void TFileListBox::SetMask(const std::string& mask) {
    if (mask == mask_)
        return;
    mask_ = mask;
    RebuildEntries();
}

void TFileListBox::SetFileType(TFileType fileType) {
    if (fileType == fileType_)
        return;
    fileType_ = fileType;
    RebuildEntries();
}

void TFileListBox::SetIncludeSubfolders(bool include) {
    if (include == includeSubfolders_)
        return;
    includeSubfolders_ = include;
    RebuildEntries();
}

void TFileListBox::SetProgressText(
    std::function<QString(std::size_t folders, std::size_t files)> text) {
    progressText_ = std::move(text);
}

void TFileListBox::SetFileEdit(QLineEdit* edit) {
    fileEdit_ = edit;
    if (edit) {
        const std::string name = CurrentFileName();
        edit->setText(QString::fromStdString(name.empty() ? mask_ : name));
    }
}

void TFileListBox::SetShowGlyphs(bool show) {
    if (show == showGlyphs_)
        return;
    showGlyphs_ = show;
    if (showGlyphs_ && itemHeight_ < GlyphSize(executableGlyph_).height() + 1)
        UpdateItemHeight();
    viewport()->update();
}

void TFileListBox::SetItemHeight(int height) {
    if (height <= 0 || height == itemHeight_)
        return;
    itemHeight_ = height;
    // Only the layout changes: the entries and their selection stay as they are.
    scheduleDelayedItemsLayout();
}

void TFileListBox::SetMultiSelect(bool multiSelect) {
    if (multiSelect == multiSelect_)
        return;
    multiSelect_ = multiSelect;
    // The selection rules change with it; the list starts over as a new list box would.
    RebuildEntries();
}

QColor TFileListBox::Color() const {
    return palette().color(QPalette::Base);
}

void TFileListBox::SetColor(const QColor& color) {
    if (color == Color())
        return;
    QPalette colours = palette();
    colours.setColor(QPalette::Base, color);
    setPalette(colours);
}

QColor TFileListBox::FontColor() const {
    return palette().color(QPalette::Text);
}

void TFileListBox::SetFontColor(const QColor& color) {
    if (color == FontColor())
        return;
    QPalette colours = palette();
    colours.setColor(QPalette::Text, color);
    setPalette(colours);
    UpdateItemHeight();
}

// --- item model -------------------------------------------------------------------------------

void TFileListBox::CheckIndex(int index) const {
    if (!model_->IsRow(index))
        throw EListError::IndexOutOfBounds(index);
}

int TFileListBox::EntryCount() const {
    return model_->Count();
}

std::string TFileListBox::EntryText(int index) const {
    CheckIndex(index);
    return std::string(model_->Text(index));
}

std::string_view TFileListBox::EntryTextView(int index, std::string&) const {
    CheckIndex(index);
    return model_->Text(index);
}

bool TFileListBox::IsEntrySelected(int index) const {
    CheckIndex(index);
    return model_->Entry(index).selected;
}

TEntryFolder TFileListBox::EntryFolder(int index) const {
    CheckIndex(index);
    return model_->Folder(index);
}

std::string TFileListBox::EntryPath(int index) const {
    CheckIndex(index);
    return model_->Path(index);
}

void TFileListBox::SetEntrySelected(int index, bool selected) {
    CheckIndex(index);
    if (!multiSelect_)
        throw EListError::IndexOutOfBounds(index);
    model_->SetSelected(index, selected);
}

void TFileListBox::ReplaceEntryText(int index, const std::string& text) {
    CheckIndex(index);
    try {
        model_->ReplaceText(index, text);
    } catch (const std::bad_alloc&) {
        throw EListError::InsertFailed();
    }
}

int TFileListBox::CurrentIndex() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

std::string TFileListBox::CurrentFileName() const {
    const int current = CurrentIndex();
    if (current >= 0 && model_->IsRow(current) && model_->Entry(current).selected)
        return model_->Path(current);
    return {};
}

// --- reading ----------------------------------------------------------------------------------

void TFileListBox::RebuildEntries() {
    if (!hasWindow_)
        return;
    SetCurrentDir(folderPath_);
    anchor_ = -1;
    const std::size_t before = static_cast<std::size_t>(model_->Count());
    model_->Clear(); // the entries before go first, so they and the new ones are never both kept

    // Links are not looked through into network mounts other than the folder's own.
    const TNetworkMounts network =
        OtherRemoteMountPoints(folderPath_, RemoteMountPointsOf(FolderListLink()));
    std::size_t entriesRead = 0;
    foldersLeftOut_ = {};
    if (includeSubfolders_) {
        TSharedFolderRead::EndSharing(); // the walk reads each folder once by itself
        ReadTree(network);
        entriesRead = static_cast<std::size_t>(model_->Count());
    } else {
        // Entries are sorted once at the end, by one collation key each; the watch tells
        // meanwhile when an entry would have been inserted at the hourglass index.
        TNameKeys texts;
        std::vector<TEntryGlyph> glyphs; // by the number of each entry's text
        TInsertionWatch watch(texts, kHourglassIndex);
        bool latestAtHourglass = false;
        auto keep = [&] {
            std::vector<TFileEntry> entries;
            {
                const std::vector<std::uint32_t> order = texts.TakeOrder();
                entries.resize(order.size());
                for (std::size_t i = 0; i < order.size(); ++i)
                    entries[i] = {texts.NameSpan(order[i]), glyphs[order[i]], false};
            }
            glyphs = std::vector<TEntryGlyph>();
            entriesRead = entries.size();
            model_->Assign(std::move(entries), texts.TakeNames());
        };
        THourglass hourglass; // for the rest of the read, once shown
        try {
            auto add = [&](std::string_view text, TEntryGlyph glyph) {
                try {
                    glyphs.push_back(glyph);
                    const std::uint32_t added = texts.Add(text);
                    // Once shown, the hourglass stays to the end of the read.
                    latestAtHourglass = !hourglass.Shown() && watch.Add(added);
                } catch (const std::bad_alloc&) {
                    glyphs.resize(texts.Size());
                    throw EListError::InsertFailed();
                }
            };
            auto onItem = [&](std::string_view name, std::uint32_t attributes, bool admitted) {
                if (admitted) {
                    if (attributes & faDirectory)
                        add(Bracketed(name), showGlyphs_ ? egFolder : egNone);
                    else
                        add(name, IsExecutableName(name) ? egExecutable : egUnknownFile);
                }
                if (latestAtHourglass)
                    hourglass.Show();
                ItemSearched();
            };
            SearchMask(mask_, fileType_, onItem, network);
        } catch (...) {
            // The entries added so far stay; there is no notification.
            TSharedFolderRead::EndSharing();
            keep();
            throw;
        }
        // The file list's read is the last one a change of folder shares: what the folder list
        // read goes before the names are sorted.
        TSharedFolderRead::EndSharing();
        keep();
    }
    if (std::max(before, entriesRead) >= kLargeRead)
        ReleaseFreeMemory(); // what the read and the sort held, and the entries before
    ListChanged();
    if (!foldersLeftOut_.Empty() && OnFoldersLeftOut)
        OnFoldersLeftOut(this, foldersLeftOut_);
}

namespace {

// The entries of a read with subfolders included, sorted, with their texts and folders.
struct TTreeEntries {
    std::vector<TFileEntry> entries;
    QByteArray texts;
    TFolderRuns folders;
    TTreeLeftOut leftOut;
};

// Reads the current directory's tree as the list shows it (WalkTree), on whatever thread, and
// sorts each folder's entries: the whole read happens off the window's thread.
TTreeEntries ReadTreeEntries(const std::string& mask, TFileType fileType, bool folderGlyphs,
                             const TNetworkMounts& network, TTreeWalkProgress& progress) {
    TTreeEntries read;
    TNameKeys texts;
    std::vector<TEntryGlyph> glyphs; // by the number of each entry's text
    std::vector<std::uint32_t> runEnds;
    read.leftOut = WalkTree(
        mask, fileType,
        [&](const std::string& folder) {
            const auto first = static_cast<std::uint32_t>(texts.Size());
            runEnds.push_back(first);
            read.folders.Begin(folder, first);
        },
        [&](std::string_view name, std::uint32_t attributes, bool admitted) {
            if (!admitted)
                return;
            if (attributes & faDirectory) {
                glyphs.push_back(folderGlyphs ? egFolder : egNone);
                texts.Add(Bracketed(name));
            } else {
                glyphs.push_back(IsExecutableName(name) ? egExecutable : egUnknownFile);
                texts.Add(name);
            }
        },
        network, &progress);
    const std::vector<std::uint32_t> order = texts.TakeOrder(runEnds);
    read.entries.resize(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        read.entries[i] = {texts.NameSpan(order[i]), glyphs[order[i]], false};
    read.texts = texts.TakeNames();
    return read;
}

} // namespace

void TFileListBox::ReadTree(const TNetworkMounts& network) {
    // The walk tells how far it has come; the list shows it while the window waits.
    const auto progress = std::make_shared<TTreeWalkProgress>();
    walk_ = progress;
    walkShown_.start();
    const auto shown = qScopeGuard([this] {
        walk_.reset();
        walkShown_.stop();
    });
    TTreeEntries read;
    try {
        read = RunResponsively(
            [mask = mask_, type = fileType_, glyphs = showGlyphs_, network, progress] {
                return ReadTreeEntries(mask, type, glyphs, network, *progress);
            });
    } catch (const std::bad_alloc&) {
        throw EListError::InsertFailed();
    } catch (...) {
        progress->cancelled = true; // a walk given up stops before its next folder
        throw;
    }
    foldersLeftOut_ = std::move(read.leftOut);
    model_->AssignTree(std::move(read.entries), std::move(read.texts), std::move(read.folders));
}

void TFileListBox::LinkLooked(const std::string& folder) {
    WhenNoCallWaits(this, [this, folder] {
        const bool shown =
            folder == folderPath_ || (includeSubfolders_ && folder.starts_with(folderPath_) &&
                                      folder[folderPath_.size()] == '/');
        if (!hasWindow_ || !shown)
            return;
        // Entries are known again by their paths, which tell those of two folders apart.
        std::unordered_set<std::string> selected;
        for (int i = 0; i < model_->Count(); ++i)
            if (model_->Entry(i).selected)
                selected.emplace(model_->Path(i));
        const int current = CurrentIndex();
        const std::optional<std::string> currentText =
            model_->IsRow(current) ? std::optional(model_->Path(current)) : std::nullopt;
        try {
            RebuildEntries();
        } catch (const EInOutError&) {
            return; // the folder is gone meanwhile: the next read tells
        }
        for (int i = 0; i < model_->Count(); ++i) {
            const std::string text = model_->Path(i);
            if (selected.contains(text))
                model_->SetSelected(i, true);
            if (currentText && text == *currentText)
                MoveCurrent(i);
        }
    });
}

void TFileListBox::ListChanged() {
    lastReportedIndex_ = CurrentIndex();
    if (QLineEdit* edit = fileEdit_.data()) {
        const std::string name = CurrentFileName();
        edit->setText(QString::fromStdString(name.empty() ? mask_ : name));
        edit->selectAll();
    }
    if (OnChange)
        OnChange(this);
}

void TFileListBox::LoadGlyphs() {
    executableGlyph_ = LoadGlyph(QStringLiteral("EXECUTABLE"));
    folderGlyph_ = LoadGlyph(QStringLiteral("CLOSEDFOLDER"));
    unknownFileGlyph_ = LoadGlyph(QStringLiteral("UNKNOWNFILE"));
}

void TFileListBox::UpdateItemHeight() {
    int height = FontLineHeight(font());
    const int glyphHeight = GlyphSize(executableGlyph_).height();
    if (showGlyphs_ && height < glyphHeight + 1)
        height = glyphHeight + 1;
    SetItemHeight(height);
}

// --- preview ----------------------------------------------------------------------------------

TPreview TFileListBox::SetPreview(TPreview preview) {
    TPreview before = model_->SetPreview(std::move(preview));
    viewport()->update();
    emit ShownEntriesChanged();
    return before;
}

void TFileListBox::ClearPreview() {
    model_->ClearPreview();
    viewport()->update();
    emit ShownEntriesChanged();
}

void TFileListBox::SetRefusalText(std::function<QString(TRefusal)> refusalText) {
    model_->refusalText = std::move(refusalText);
}

// --- assistive technologies -------------------------------------------------------------------

void TFileListBox::SetShownAllSelected(bool all) {
    if (all == shownAllSelected_)
        return;
    shownAllSelected_ = all;
    emit ShownEntriesChanged();
}

int TFileListBox::ShownSelectedCount() const {
    return shownAllSelected_ ? EntryCount() : model_->SelectedCount();
}

void TFileListBox::SetEntrySelectedByUser(int index, bool selected) {
    CheckIndex(index);
    if (multiSelect_)
        model_->SetSelected(index, selected);
    else if (selected)
        model_->SelectOnly(index, index);
    else
        model_->SetSelected(index, false);
    if (OnClick)
        OnClick(this);
}

// --- drawing ----------------------------------------------------------------------------------

const QPixmap& TFileListBox::Glyph(TEntryGlyph glyph) const {
    switch (glyph) {
    case egExecutable:
        return executableGlyph_;
    case egFolder:
        return folderGlyph_;
    default:
        return unknownFileGlyph_;
    }
}

void TFileListBox::DrawItem(QPainter& painter, const QStyleOptionViewItem& option,
                            int index) const {
    if (!model_->IsRow(index))
        return;
    const TFileEntry& entry = model_->Entry(index);
    const QPalette& colours = palette();
    const QColor background = colours.color(entry.selected ? QPalette::Highlight : QPalette::Base);
    const QColor foreground =
        colours.color(entry.selected ? QPalette::HighlightedText : QPalette::Text);
    const QRect& rect = option.rect;
    painter.save();
    painter.fillRect(rect, background);
    int textOffset = 2;
    if (showGlyphs_ && entry.glyph != egNone) {
        const QPixmap& glyph = Glyph(entry.glyph);
        const QSize size = GlyphSize(glyph);
        if (!glyph.isNull())
            painter.drawPixmap(rect.left() + 2, rect.top() + (rect.height() - size.height()) / 2,
                               glyph);
        textOffset = size.width() + 6;
    }
    painter.setPen(foreground);
    const QRect textRect = rect.adjusted(textOffset, 0, 0, 0);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    const std::optional<TPreviewEntryView> preview = model_->Preview(index);
    if (!preview) {
        painter.setFont(font());
        painter.drawText(textRect, flags, model_->ShownPath(index, model_->Text(index)));
    } else if (preview->mark == TPreviewEntry::Renamed) {
        QFont italic = font();
        italic.setItalic(true);
        painter.setFont(italic);
        painter.drawText(textRect, flags, model_->ShownPath(index, preview->newName));
    } else {
        // The name stays; a cross after it says the batch would leave it so.
        painter.setFont(font());
        QRect drawn;
        painter.drawText(textRect, flags, model_->ShownPath(index, model_->Text(index)), &drawn);
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(textRect.adjusted(drawn.width(), 0, 0, 0), flags,
                         QStringLiteral(" \u2717"));
    }
    DrawFocusFrame(painter, *this, option, rect, background);
    painter.restore();
}

// --- window and user input --------------------------------------------------------------------

void TFileListBox::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    if (!hasWindow_) {
        hasWindow_ = true;
        RebuildEntries();
    }
}

void TFileListBox::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    const std::shared_ptr<TTreeWalkProgress> walk = walk_;
    if (!walk)
        return;
    // While the subfolders are read the list is empty: it says how far the walk has come.
    const std::size_t folders = walk->folders.load(), files = walk->items.load();
    const QString text =
        progressText_
            ? progressText_(folders, files)
            : QStringLiteral("Reading subfolders: %1 folders, %2 files").arg(folders).arg(files);
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(2, 0, -2, 0),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}

void TFileListBox::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateItemHeight();
}

void TFileListBox::MoveCurrent(int row) {
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

void TFileListBox::SelectByUser(int row, Qt::KeyboardModifiers modifiers) {
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    if (!multiSelect_) {
        model_->SelectOnly(row, row);
        anchor_ = row;
    } else if (shift) {
        const int from = model_->IsRow(anchor_) ? anchor_ : row;
        if (control)
            model_->SelectRange(from, row);
        else
            model_->SelectOnly(from, row);
    } else if (control) {
        model_->SetSelected(row, !model_->Entry(row).selected);
        anchor_ = row;
    } else {
        model_->SelectOnly(row, row);
        anchor_ = row;
    }
    MoveCurrent(row);
    UserChangedSelection();
}

void TFileListBox::UserChangedSelection() {
    if (OnClick)
        OnClick(this);
    if (CurrentIndex() != lastReportedIndex_)
        ListChanged();
}

void TFileListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    dragging_ = index.isValid() && !(event->modifiers() & Qt::ControlModifier);
    if (index.isValid())
        SelectByUser(index.row(), event->modifiers());
    event->accept();
}

void TFileListBox::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    // Dragging extends the selection from the anchor to the entry under the mouse.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || index.row() == CurrentIndex())
        return;
    SelectByUser(index.row(), multiSelect_ ? Qt::ShiftModifier : Qt::NoModifier);
}

void TFileListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    event->accept();
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a click like the first.
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid() &&
        OnDblClick)
        OnDblClick(this);
}

void TFileListBox::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const int count = model_->Count();

    if (event->matches(QKeySequence::SelectAll)) {
        if (multiSelect_ && count > 0) {
            model_->SelectAll();
            UserChangedSelection();
        }
        event->accept();
        return;
    }

    CursorAction action;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        action = MoveUp;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        action = MoveDown;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    case Qt::Key_Space:
        if (count > 0) {
            const int row = CurrentIndex() >= 0 ? CurrentIndex() : 0;
            // Space toggles the current entry; with Shift it selects up to it from the anchor.
            SelectByUser(row, shift ? modifiers : modifiers | Qt::ControlModifier);
        }
        event->accept();
        return;
    default: {
        // Typing a letter jumps to a matching entry, which then is selected like a click.
        const int before = CurrentIndex();
        QListView::keyPressEvent(event);
        const int after = CurrentIndex();
        if (after != before && model_->IsRow(after))
            SelectByUser(after, Qt::NoModifier);
        return;
    }
    }
    event->accept();
    if (count == 0)
        return;
    QModelIndex target = moveCursor(action, Qt::NoModifier);
    if (!target.isValid())
        target = model_->index(
            action == MoveUp || action == MovePageUp || action == MoveHome ? 0 : count - 1);
    if (multiSelect_ && control && !shift) {
        // Ctrl moves the focus alone.
        MoveCurrent(target.row());
        return;
    }
    SelectByUser(target.row(), multiSelect_ ? modifiers : Qt::NoModifier);
}

} // namespace nomilo
