#include "browse/DirectoryListBox.h"

#include "browse/Accessibility.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "browse/FontLineHeight.h"
#include "browse/LinkLookNews.h"
#include "browse/OwnerDrawDelegate.h"
#include "listing/FolderNames.h"
#include "listing/LocaleText.h"
#include "listing/PathText.h"
#include "listing/TargetPath.h"
#include "platform/drives/DriveFolders.h"
#include "platform/drives/VolumeCase.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/DirSearch.h"
#include "platform/files/EInOutError.h"
#include "platform/files/FileAttributes.h"
#include "platform/files/SameFolder.h"
#include "platform/process/FreeMemory.h"
#include "resources/Glyphs.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace nomilo {

namespace {

// The size the folder glyphs are drawn for: 16 x 15. A glyph missing from the resources still
// takes its place, so that the layout does not depend on the drawings.
constexpr QSize kGlyphSize(16, 15);

QSize GlyphSize(const QPixmap& glyph) {
    return glyph.isNull() ? kGlyphSize : glyph.size();
}

// After a folder of this many subfolders is shown, or one that had as many, the memory freed goes
// back to the system at once.
constexpr std::size_t kLargeFolder = 10000;

QString Decode(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Sets a flag for the lifetime of the object, clearing it also when an error passes.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;
    ~TFlagScope() { flag_ = false; }

private:
    bool& flag_;
};

// A label that grows with its text would make any width fit; such a label is fitted to the
// folder list's width instead. A label that takes the width it is given (a fixed width, or a
// horizontal size policy that ignores its text) is fitted to its own.
bool SizesToText(const QLabel& label) {
    return label.minimumWidth() != label.maximumWidth() &&
           label.sizePolicy().horizontalPolicy() != QSizePolicy::Ignored;
}

} // namespace

TDirectoryListBox::TDirectoryListBox(QWidget* parent)
    : QListView(parent), model_(new TFolderListModel(this)), folderPath_(CurrentDirOrHome()) {
    setModel(model_);
    setItemDelegate(new TOwnerDrawDelegate<TDirectoryListBox>(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    TellCurrentEntryOnFocus(*this);
    resize(145, height());
    LoadGlyphs();
    FollowDrive(Drives());
    UpdateItemHeight();
    connect(&TLinkLookNews::Instance(), &TLinkLookNews::Answered, this,
            [this](const QByteArray& folder) { LinkLooked(folder.toStdString()); });
}

TDirectoryListBox::~TDirectoryListBox() = default;

// --- drives -----------------------------------------------------------------------------------

std::vector<TDrive> TDirectoryListBox::Drives() const {
    return driveSources_ ? ListDrives(*driveSources_) : ListDrives();
}

std::vector<std::string> TDirectoryListBox::RemoteMountPoints() const {
    return driveSources_ ? nomilo::RemoteMountPoints(*driveSources_) : nomilo::RemoteMountPoints();
}

void TDirectoryListBox::SetDriveSources(TDriveSources sources) {
    driveSources_ = std::move(sources);
    FollowDrive(Drives());
}

void TDirectoryListBox::FollowDrive(const std::vector<TDrive>& drives) {
    driveLetter_ = DriveOfPath(folderPath_, drives);
    // Entering this drive again comes back here.
    RecordDriveFolder(driveLetter_, folderPath_);
    std::string fsType;
    for (const TDrive& drive : drives)
        if (drive.mountPoint == driveLetter_)
            fsType = drive.fsType;
    // A drive whose file system is not known is taken as Linux's own: case kept and told.
    const TVolumeCase volumeCase = VolumeCaseOfType(fsType);
    volumeKeepsCase_ = volumeCase.keepsCase;
    volumeCaseSensitive_ = volumeCase.caseSensitive;
}

// --- links ------------------------------------------------------------------------------------

TFileListBox* TDirectoryListBox::FileList() const {
    return fileList_.data();
}

void TDirectoryListBox::SetFileList(TFileListBox* fileList) {
    if (TFileListBox* previous = fileList_.data())
        previous->SetFolderListLink(nullptr);
    fileList_ = fileList;
    if (fileList)
        fileList->SetFolderListLink(this);
}

void TDirectoryListBox::SetDirLabel(QLabel* label) {
    dirLabel_ = label;
    if (label)
        label->setTextFormat(Qt::PlainText); // a folder name is never markup
    UpdateDirLabel();
}

TDriveComboBox* TDirectoryListBox::DriveComboLink() const {
    return driveCombo_.data();
}

void TDirectoryListBox::SetDriveComboLink(TDriveComboBox* driveCombo) {
    driveCombo_ = driveCombo;
}

void TDirectoryListBox::UpdateDirLabel() {
    QLabel* label = dirLabel_.data();
    if (!label)
        return;
    const int width = SizesToText(*label) ? this->width() : label->width();
    const QFontMetrics metrics(label->font());
    const auto textWidth = [&](std::string_view text) {
        return metrics.horizontalAdvance(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    label->setText(Decode(FitPathToWidth(folderPath_, textWidth, width)));
}

// --- comparing and showing names --------------------------------------------------------------

std::string TDirectoryListBox::ShownName(std::string_view text) const {
    if (volumeKeepsCase_ || volumeCaseSensitive_)
        return std::string(text);
    return LowerCaseByLocale(text);
}

int TDirectoryListBox::CompareFolderNames(const std::string& a, const std::string& b) const {
    if (volumeCaseSensitive_)
        return CompareNamesByLocale(a, b);
    const int byLocale = CompareByLocale(LowerCaseByLocale(a), LowerCaseByLocale(b));
    if (byLocale != 0 || a == b)
        return byLocale;
    return CompareLostBytes(a, IsLosslessUtf8(a), b, IsLosslessUtf8(b), true);
}

bool TDirectoryListBox::IsFolderShown(const std::string& target) const {
    if (CompareFolderNames(target, folderPath_) != 0)
        return false;
    if (target == folderPath_)
        return true;
    // Equal by the volume's rule is not yet the same folder: the case-blind rule of a FAT
    // stick or a share does not hold for the folders above its mount point, so "/MEDIA/stick"
    // is no folder at all. Only the current folder itself counts.
    const std::string path =
        target.starts_with(kPathSeparator) ? target : JoinPath(folderPath_, target);
    return SameFolder(path, folderPath_);
}

// --- changing folder --------------------------------------------------------------------------

void TDirectoryListBox::SetFolderPath(const std::string& target) {
    if (target.empty() || IsFolderShown(target))
        return;
    const TTargetParts parts = SplitTargetPath(target, Drives());
    if (parts.letter != driveLetter_) {
        const TFlagScope changing(inFolderChange_);
        if (TDriveComboBox* driveCombo = driveCombo_.data())
            driveCombo->SetDriveLetter(parts.letter); // which switches this list's drive
        else
            SwitchDrive(parts.letter);
    }
    EnterFolder(parts.folderPart);
}

void TDirectoryListBox::EnterFolder(const std::string& path) {
    // A relative path is taken from the current folder.
    ChangeCurrentDirFrom(folderPath_, path);
    folderPath_ = GetCurrentDir();
    ShowFolder();
}

void TDirectoryListBox::ShowFolder() {
    // This list and the file list that follows it read the folder once between them. Before
    // they are shown (the start folder) the file list reads at its first show: the reading is
    // kept until the message loop next runs.
    startRead_.reset();
    auto oneRead = std::make_unique<TSharedFolderRead>(folderPath_);
    RebuildEntries();
    FolderChanged();
    if (!hasWindow_) {
        startRead_ = std::move(oneRead);
        QMetaObject::invokeMethod(
            this,
            [this] {
                startRead_.reset();
                ReleaseFreeMemory(); // a large folder's reading is held no longer
            },
            Qt::QueuedConnection);
    }
}

void TDirectoryListBox::SwitchDrive(const std::string& mountPoint) {
    if (mountPoint == driveLetter_)
        return;
    if (!mountPoint.empty()) {
        folderPath_ = EnterDrive(mountPoint);
        FollowDrive(Drives());
    }
    if (!inFolderChange_)
        ShowFolder();
}

void TDirectoryListBox::FolderChanged() {
    if (TFileListBox* fileList = fileList_.data())
        fileList->SetFolderPath(folderPath_);
    UpdateDirLabel();
    if (OnChange)
        OnChange(this);
}

// --- entries ----------------------------------------------------------------------------------

void TDirectoryListBox::RebuildEntries() {
    const std::vector<TDrive> drives = Drives();
    FollowDrive(drives);

    std::vector<std::pair<std::string, TFolderEntryKind>> path;
    std::string rest = folderPath_;
    if (!rest.empty()) {
        // The root ("/"), then each folder on the way down; the current folder last.
        if (!rest.ends_with(kPathSeparator)) {
            for (std::size_t separator;
                 (separator = rest.find(kPathSeparator)) != std::string::npos;) {
                std::string part = rest.substr(0, separator);
                if (path.empty())
                    part.push_back(kPathSeparator);
                rest.erase(0, separator + 1);
                path.emplace_back(std::move(part), fkAncestor);
            }
        }
        path.emplace_back(std::move(rest), fkCurrent);
    }
    currentEntry_ = static_cast<int>(path.size()) - 1;

    std::vector<TFolderEntry> entries;
    QByteArray texts;
    {
        // The subfolders' names are read into one buffer, which the entries' texts then share.
        TNameKeys subfolders;
        ReadSubfolders(folderPath_, subfolders,
                       OtherRemoteMountPoints(folderPath_, RemoteMountPoints()));
        const std::vector<std::uint32_t> order = FolderOrder(subfolders, volumeCaseSensitive_);
        texts = subfolders.TakeNames();
        entries.reserve(path.size() + order.size());
        for (const auto& [text, kind] : path)
            entries.push_back({TFolderListModel::AppendText(texts, text), kind});
        for (const std::uint32_t name : order)
            entries.push_back({subfolders.NameSpan(name), fkSubfolder});
    }
    const std::size_t before = static_cast<std::size_t>(model_->Count());
    const std::size_t after = entries.size();
    model_->Assign(std::move(entries), std::move(texts));
    if (std::max(before, after) >= kLargeFolder)
        ReleaseFreeMemory(); // what the read and the sort held, and the entries before
    SelectEntry(currentEntry_);
}

std::string TDirectoryListBox::EntryPath(int index) const {
    if (index < 0 || index >= model_->Count())
        return {};
    const std::string_view drive = DrivePart(folderPath_);
    if (index == 0)
        return std::string(drive) + kPathSeparator;
    const TFolderEntry& entry = model_->Entry(index);
    if (entry.kind == fkSubfolder)
        return JoinPath(folderPath_, model_->Text(index));
    if (entry.kind == fkCurrent)
        return folderPath_;
    // An ancestor: the path up to its separator, the (index + 1)-th.
    const std::string_view path = std::string_view(folderPath_).substr(drive.size());
    std::size_t end = 0;
    for (int separators = 0; end < path.size(); ++end)
        if (path[end] == kPathSeparator && ++separators == index + 1)
            break;
    return std::string(drive) + std::string(path.substr(0, end));
}

void TDirectoryListBox::OpenSelectedEntry() {
    SetFolderPath(EntryPath(CurrentIndex()));
}

int TDirectoryListBox::CurrentIndex() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TDirectoryListBox::LinkLooked(const std::string& folder) {
    WhenNoCallWaits(this, [this, folder] {
        if (folder != folderPath_ || currentEntry_ < 0)
            return;
        // A subfolder the user selected stays selected.
        const int selected = CurrentIndex();
        const std::optional<std::string> kept =
            selected > currentEntry_ ? std::optional(std::string(EntryText(selected)))
                                     : std::nullopt;
        try {
            RebuildEntries();
        } catch (const EInOutError&) {
            return; // the folder is gone meanwhile: the next change of folder tells
        }
        for (int i = currentEntry_ + 1; kept && i < EntryCount(); ++i)
            if (EntryText(i) == *kept)
                SelectEntry(i);
    });
}

void TDirectoryListBox::SelectEntry(int index) {
    if (!model_->IsRow(index))
        return;
    const QModelIndex entry = model_->index(index);
    selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
    scrollTo(entry);
}

// --- drawing ----------------------------------------------------------------------------------

void TDirectoryListBox::LoadGlyphs() {
    openGlyph_ = LoadGlyph(QStringLiteral("OPENFOLDER"));
    closedGlyph_ = LoadGlyph(QStringLiteral("CLOSEDFOLDER"));
    currentGlyph_ = LoadGlyph(QStringLiteral("CURRENTFOLDER"));
}

void TDirectoryListBox::UpdateItemHeight() {
    int height = FontLineHeight(font());
    const int glyphHeight = GlyphSize(openGlyph_).height();
    if (height < glyphHeight + 1)
        height = glyphHeight + 1;
    SetItemHeight(height);
}

void TDirectoryListBox::SetItemHeight(int height) {
    if (height <= 0 || height == itemHeight_)
        return;
    itemHeight_ = height;
    scheduleDelayedItemsLayout();
    // The list box the folder list was designed on is made anew for a new entry height, and
    // builds its entries again as it does when first shown.
    if (hasWindow_)
        RebuildEntries();
}

const QPixmap& TDirectoryListBox::Glyph(TFolderEntryKind kind) const {
    switch (kind) {
    case fkAncestor:
        return openGlyph_;
    case fkCurrent:
        return currentGlyph_;
    default:
        return closedGlyph_;
    }
}

int TDirectoryListBox::EntryIndent(int index) const {
    if (model_->IsRow(index) && model_->Entry(index).kind == fkSubfolder)
        return 4 * SeparatorCount(folderPath_) + 6;
    return 4 * index + 2;
}

void TDirectoryListBox::DrawItem(QPainter& painter, const QStyleOptionViewItem& option,
                                 int index) const {
    if (!model_->IsRow(index))
        return;
    const TFolderEntry& entry = model_->Entry(index);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& colours = palette();
    const QColor background = colours.color(selected ? QPalette::Highlight : QPalette::Base);
    const QColor foreground = colours.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QRect& rect = option.rect;
    painter.save();
    painter.fillRect(rect, background);

    const int indent = EntryIndent(index);
    const QPixmap& glyph = Glyph(entry.kind);
    const QSize size = GlyphSize(glyph);
    if (!glyph.isNull()) {
        // Centred in the entry; the bottom edge is the first row below it.
        const int top = (rect.top() + rect.bottom() + 1 - size.height()) / 2;
        painter.drawPixmap(rect.left() + indent, top, glyph);
    }
    painter.setPen(foreground);
    painter.setFont(font());
    painter.drawText(rect.adjusted(size.width() + indent + 4, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     Decode(ShownName(model_->Text(index))));
    DrawFocusFrame(painter, *this, option, rect, background);
    painter.restore();
}

// --- window and user input --------------------------------------------------------------------

void TDirectoryListBox::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    if (!hasWindow_) {
        hasWindow_ = true;
        // Entries built before the first show (a folder was opened then) are not read again.
        if (currentEntry_ >= 0)
            SelectEntry(currentEntry_);
        else
            RebuildEntries();
    }
}

void TDirectoryListBox::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        UpdateItemHeight();
}

void TDirectoryListBox::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        return;
    SelectEntry(index.row());
    if (OnClick)
        OnClick(this);
}

void TDirectoryListBox::mouseMoveEvent(QMouseEvent* event) {
    // Dragging with the button down moves the selection along, as in a list box.
    event->accept();
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index.row() != CurrentIndex()) {
        SelectEntry(index.row());
        if (OnClick)
            OnClick(this);
    }
}

void TDirectoryListBox::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click selects like the first.
    mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (OnDblClick)
        OnDblClick(this);
    OpenSelectedEntry();
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        OpenSelectedEntry();
        return;
    }
    const int before = CurrentIndex();
    QListView::keyPressEvent(event);
    const int after = CurrentIndex();
    if (after != before && model_->IsRow(after)) {
        SelectEntry(after);
        if (OnClick)
            OnClick(this);
    }
}

} // namespace nomilo
