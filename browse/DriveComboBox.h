#pragma once

#include "platform/drives/Drives.h"

#include <QComboBox>
#include <QPixmap>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nomilo {

class TDirectoryListBox;

// The letter case of the labels and share names the drive selector shows.
enum TTextCase {
    tcLowerCase,
    tcUpperCase,
};

// The drive selector: a drop-down list of the drives present, each with the glyph of its kind
// and its mount point, then (except for a removable drive) its volume label in brackets or
// its network share. Picking a drive moves the linked folder list to that drive's own current
// folder; the folder list, opening a folder on another drive, sets the selector's drive in
// turn, so that after every successful change the two name the same drive.
//
// The entries are built when the selector is first shown and when TextCase is assigned; a
// drive mounted or unmounted later shows only after that.
class TDriveComboBox : public QComboBox {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TDriveComboBox*)>;

    // Starts on the drive of the process's current directory (of the home folder when that was
    // removed), with no entries.
    explicit TDriveComboBox(QWidget* parent = nullptr);
    ~TDriveComboBox() override;

    // The selected drive's mount point; empty for none.
    const std::string& DriveLetter() const { return driveLetter_; }
    // Selects the drive mounted at `mountPoint` (the selection stays where it was when the
    // drive has no entry), switches the linked folder list to it and fires OnChange. Nothing
    // happens when that drive is selected already. Throws EInOutError when the folder list
    // cannot enter the drive: the selector then shows the new drive, the folder list stays.
    void SetDriveLetter(const std::string& mountPoint);

    // Assigning rebuilds the entries and selects the drive again, even with the current value.
    TTextCase TextCase() const { return textCase_; }
    void SetTextCase(TTextCase textCase);

    // The folder list this selector drives, not owned; linked both ways. Switches nothing.
    TDirectoryListBox* DirList() const;
    void SetDirList(TDirectoryListBox* dirList);

    // Builds the entries from the drives present; no entry is selected afterwards.
    virtual void RebuildDriveEntries();
    // The entry height: the font's line height, at least the drive glyphs' height.
    void UpdateItemHeight();
    int ItemHeight() const { return itemHeight_; }

    // The drives come from `sources` from now on instead of the machine's own, and DriveLetter
    // becomes the drive of the current directory among them. Meant for before the first show.
    void SetDriveSources(TDriveSources sources);

    // Entries: the drive each stands for, its kind and its text.
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    const std::string& EntryDrive(int index) const { return Entry(index).mountPoint; }
    TDriveType EntryType(int index) const { return Entry(index).type; }
    const std::string& EntryText(int index) const { return Entry(index).text; }
    // Paints entry `index` into `rect`, highlighted when `selected`.
    void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected) const;
    // True once the selector has been shown.
    bool HasWindow() const { return hasWindow_; }

    // The handling of a click: OnClick, then SetDriveLetter with the selected entry's drive.
    virtual void Click();

    // Drops the list down, firing OnDropDown first.
    void showPopup() override;

    // Fired after SetDriveLetter, and once more after a user's pick.
    TNotifyEvent OnChange;
    // Fired when the user picks an entry, before the drive is switched.
    TNotifyEvent OnClick;
    // Fired when the list drops down.
    TNotifyEvent OnDropDown;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Loads "FLOPPY", "HARD", "NETWORK", "CDROM" and "RAM".
    virtual void LoadGlyphs();

    QPixmap floppyGlyph_;
    QPixmap hardGlyph_;
    QPixmap networkGlyph_;
    QPixmap cdRomGlyph_;
    QPixmap ramGlyph_;

private:
    struct TDriveEntry {
        std::string mountPoint;
        TDriveType type = dtUnknown;
        std::string text;
    };

    const TDriveEntry& Entry(int index) const {
        return entries_.at(static_cast<std::size_t>(index));
    }
    std::vector<TDrive> Drives() const;
    const QPixmap& Glyph(TDriveType type) const;
    // Selects entry `index` (-1 for none) without it counting as a user's pick.
    void Select(int index);
    // The user picked another entry (mouse, keys or wheel).
    void UserPicked();
    // Runs the steps the selector takes when its window is made: entries, then the drive.
    void CreateWindowSteps();

    std::vector<TDriveEntry> entries_;
    std::string driveLetter_;
    TTextCase textCase_ = tcLowerCase;
    QPointer<TDirectoryListBox> dirList_;
    std::optional<TDriveSources> driveSources_;
    int itemHeight_ = 16;
    bool hasWindow_ = false;
    bool selectingByCode_ = false;
};

} // namespace nomilo
