#include "browse/DriveComboBox.h"

#include "browse/Accessibility.h"
#include "browse/DirectoryListBox.h"
#include "browse/FontLineHeight.h"
#include "browse/OwnerDrawDelegate.h"
#include "listing/LocaleText.h"
#include "platform/files/CurrentDir.h"
#include "resources/Glyphs.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <exception>

namespace nomilo {

namespace {

// The size the drive glyphs are drawn for: 16 x 11. A glyph missing from the resources still
// takes its place.
constexpr QSize kGlyphSize(16, 11);

QSize GlyphSize(const QPixmap& glyph) {
    return glyph.isNull() ? kGlyphSize : glyph.size();
}

// Paints the entries of the drop-down list through the selector.
class TDriveDelegate : public QStyledItemDelegate {
public:
    explicit TDriveDelegate(TDriveComboBox* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        combo_->DrawItem(*painter, option.rect, index.row(), selected);
        DrawFocusFrame(*painter, *combo_, option, option.rect,
                       option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), combo_->ItemHeight());
    }

private:
    TDriveComboBox* combo_;
};

} // namespace

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
    InstallBrowseAccessibility();
    setEditable(false);
    // No menu of its own (a combo box would swallow the right click): its window's menu opens.
    setContextMenuPolicy(Qt::NoContextMenu);
    setItemDelegate(new TDriveDelegate(this));
    LoadGlyphs();
    driveLetter_ = DriveOfPath(CurrentDirOrHome(), Drives());
    UpdateItemHeight();
    connect(this, &QComboBox::currentIndexChanged, this, [this](int) {
        if (!selectingByCode_)
            UserPicked();
    });
}

TDriveComboBox::~TDriveComboBox() = default;

std::vector<TDrive> TDriveComboBox::Drives() const {
    return driveSources_ ? ListDrives(*driveSources_) : ListDrives();
}

void TDriveComboBox::SetDriveSources(TDriveSources sources) {
    driveSources_ = std::move(sources);
    driveLetter_ = DriveOfPath(CurrentDirOrHome(), Drives());
}

// --- links ------------------------------------------------------------------------------------

TDirectoryListBox* TDriveComboBox::DirList() const {
    return dirList_.data();
}

void TDriveComboBox::SetDirList(TDirectoryListBox* dirList) {
    if (TDirectoryListBox* previous = dirList_.data())
        previous->SetDriveComboLink(nullptr);
    dirList_ = dirList;
    if (dirList)
        dirList->SetDriveComboLink(this);
}

// --- entries and the selected drive -----------------------------------------------------------

void TDriveComboBox::Select(int index) {
    selectingByCode_ = true;
    setCurrentIndex(index);
    selectingByCode_ = false;
}

void TDriveComboBox::RebuildDriveEntries() {
    std::vector<TDriveEntry> entries;
    for (const TDrive& drive : Drives()) {
        std::string text = drive.mountPoint;
        switch (drive.type) {
        case dtRemovable:
            // No label is read from a removable drive: it may have no medium.
            break;
        case dtFixed:
        case dtNetwork:
        case dtCdRom:
        case dtRam: {
            // Letter case applies to the label or share, never to the mount point: that is a
            // path.
            const std::string description = DriveDescription(drive);
            text += ' ';
            text += textCase_ == tcUpperCase ? UpperCaseByLocale(description)
                                             : LowerCaseByLocale(description);
            break;
        }
        default:
            continue;
        }
        entries.push_back({drive.mountPoint, drive.type, std::move(text)});
    }
    selectingByCode_ = true;
    clear();
    entries_ = std::move(entries);
    for (const TDriveEntry& entry : entries_)
        addItem(QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size())));
    setCurrentIndex(-1);
    selectingByCode_ = false;
}

void TDriveComboBox::SetDriveLetter(const std::string& mountPoint) {
    if (currentIndex() >= 0 && mountPoint == driveLetter_)
        return;
    driveLetter_ = mountPoint;
    if (mountPoint.empty()) {
        Select(-1);
    } else {
        for (int i = 0; i < EntryCount(); ++i) {
            if (entries_[static_cast<std::size_t>(i)].mountPoint == mountPoint) {
                Select(i);
                break;
            }
        }
    }
    if (TDirectoryListBox* dirList = dirList_.data())
        dirList->SwitchDrive(driveLetter_);
    if (OnChange)
        OnChange(this);
}

void TDriveComboBox::SetTextCase(TTextCase textCase) {
    textCase_ = textCase;
    const std::string drive = driveLetter_;
    RebuildDriveEntries();
    SetDriveLetter(drive);
}

void TDriveComboBox::Click() {
    if (OnClick)
        OnClick(this);
    const int index = currentIndex();
    if (index >= 0 && index < EntryCount())
        SetDriveLetter(EntryDrive(index));
}

void TDriveComboBox::UserPicked() {
    try {
        Click();
        if (OnChange)
            OnChange(this);
    } catch (...) {
        // The pick reached us through the combo box's own signal: an error must not unwind
        // through its code. It goes on to the application's error report from the event loop.
        QMetaObject::invokeMethod(
            this, [error = std::current_exception()] { std::rethrow_exception(error); },
            Qt::QueuedConnection);
    }
}

// --- window and drawing -----------------------------------------------------------------------

void TDriveComboBox::CreateWindowSteps() {
    RebuildDriveEntries();
    SetDriveLetter(driveLetter_);
}

void TDriveComboBox::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    if (!hasWindow_) {
        hasWindow_ = true;
        CreateWindowSteps();
    }
}

void TDriveComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateItemHeight();
        // The drop-down the selector was designed on is made anew for a new font.
        if (hasWindow_)
            CreateWindowSteps();
    }
}

void TDriveComboBox::showPopup() {
    if (OnDropDown)
        OnDropDown(this);
    QComboBox::showPopup();
}

void TDriveComboBox::LoadGlyphs() {
    floppyGlyph_ = LoadGlyph(QStringLiteral("FLOPPY"));
    hardGlyph_ = LoadGlyph(QStringLiteral("HARD"));
    networkGlyph_ = LoadGlyph(QStringLiteral("NETWORK"));
    cdRomGlyph_ = LoadGlyph(QStringLiteral("CDROM"));
    ramGlyph_ = LoadGlyph(QStringLiteral("RAM"));
}

void TDriveComboBox::UpdateItemHeight() {
    int height = FontLineHeight(font());
    const int glyphHeight = GlyphSize(floppyGlyph_).height();
    if (height < glyphHeight)
        height = glyphHeight;
    itemHeight_ = height;
    if (QAbstractItemView* list = view())
        list->doItemsLayout();
}

const QPixmap& TDriveComboBox::Glyph(TDriveType type) const {
    switch (type) {
    case dtRemovable:
        return floppyGlyph_;
    case dtNetwork:
        return networkGlyph_;
    case dtCdRom:
        return cdRomGlyph_;
    case dtRam:
        return ramGlyph_;
    default:
        return hardGlyph_;
    }
}

void TDriveComboBox::DrawItem(QPainter& painter, const QRect& rect, int index,
                              bool selected) const {
    if (index < 0 || index >= EntryCount())
        return;
    const TDriveEntry& entry = Entry(index);
    const QPalette& colours = palette();
    painter.save();
    painter.fillRect(rect, colours.color(selected ? QPalette::Highlight : QPalette::Base));
    const QPixmap& glyph = Glyph(entry.type);
    const QSize size = GlyphSize(glyph);
    if (!glyph.isNull()) {
        // Centred in the entry; the bottom edge is the first row below it.
        const int top = (rect.top() + rect.bottom() + 1 - size.height()) / 2;
        painter.drawPixmap(rect.left() + 2, top, glyph);
    }
    painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter.setFont(font());
    // One line, and an "&" is drawn as itself.
    painter.drawText(
        rect.adjusted(size.width() + 6, 0, 0, 0),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size())));
    painter.restore();
}

void TDriveComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const int index = currentIndex();
    if (index < 0 || index >= EntryCount())
        return;
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // The closed box shows its entry highlighted while it has the focus.
    DrawItem(painter, field, index, hasFocus());
}

} // namespace nomilo
