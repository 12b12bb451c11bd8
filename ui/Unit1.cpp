#include "ui/Unit1.h"

#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "browse/FontLineHeight.h"
#include "browse/Hourglass.h"
#include "platform/desktop/DesktopPublisher.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/FileIO.h"
#include "platform/files/FolderMoves.h"
#include "platform/files/MoveFile.h"
#include "platform/files/SameFolder.h"
#include "platform/journal/JournalFile.h"
#include "rename/RenameBatch.h"
#include "rename/UndoJournal.h"
#include "resources/Glyphs.h"
#include "settings/SettingsKeys.h"
#include "settings/ShellVerb.h"
#include "settings/TRegIniFile.h"
#include "ui/AlignLayout.h"
#include "ui/CoolBar.h"
#include "ui/ErrorReport.h"
#include "ui/FailureDetails.h"
#include "ui/LanguageTables.h"
#include "ui/LeftOutPaths.h"
#include "ui/ListFacts.h"
#include "ui/MenuAccessible.h"
#include "ui/MenuItemAccessible.h"
#include "ui/NewNamesPreview.h"
#include "ui/ProgramEnd.h"
#include "ui/ResponsiveWaits.h"
#include "ui/RuleSwitches.h"
#include "ui/Splitter.h"
#include "ui/StartFolders.h"
#include "ui/TakenFilesDescription.h"
#include "ui/ToolBar.h"
#include "ui/ToolTipAbove.h"
#include "ui/UndoMessages.h"
#include "ui/Unit2.h"
#include "ui/WindowPlacement.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <algorithm>
#include <unordered_map>

namespace nomilo {

std::string CurrentLanguage;
std::string FailureText;
std::string ShellLabel;
std::int32_t PreviousWidth = 0;
TFeatureTexts FeatureTexts = kLanguageTables[1].features;
TForm1* Form1 = nullptr;

namespace {

std::int32_t WrapTo32(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

std::string Bytes(const QString& text) {
    return text.toStdString();
}

// A panel without bevel whose controls are laid out by their alignment.
QFrame* MakePanel(QWidget* parent, const char* name, QSize size) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameShape(QFrame::NoFrame);
    panel->resize(size);
    new TAlignLayout(panel);
    return panel;
}

// The reason a rule cannot rename, in the current language, for the texts of the find and
// replace fields; the offset is told in characters of the field's text.
QString RuleErrorText(const TRuleError& error, const QString& find, const QString& replace) {
    const QString message = QString::fromStdString(error.message);
    if (!error.offset)
        return QString::fromUtf8(FeatureTexts.failedExpression).arg(message);
    const bool inFind = error.part == TRuleError::FindText;
    const QByteArray typed = (inFind ? find : replace).toUtf8().left(qsizetype(*error.offset));
    const QString text = QString::fromUtf8(inFind          ? FeatureTexts.badFindText
                                           : error.inField ? FeatureTexts.badField
                                                           : FeatureTexts.badReplaceText);
    return text.arg(message).arg(QString::fromUtf8(typed).toUcs4().size());
}

// A red frame around a field whose text keeps the rule from renaming.
void MarkBadField(QLineEdit* field, bool bad) {
    const QString look =
        bad ? QStringLiteral("QLineEdit { border: 2px solid #d00000; }") : QString();
    if (field->styleSheet() != look)
        field->setStyleSheet(look);
}

TAlignLayout* AlignOf(QWidget* parent) {
    return static_cast<TAlignLayout*>(parent->layout());
}

template <class TControl> TControl* Named(TControl* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

// Assistive technologies see the main window as a frame (a top-level QWidget would be a
// filler), named by its caption.
QAccessibleInterface* MainWindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("QWidget"))
        if (auto* form = dynamic_cast<TForm1*>(object))
            return new QAccessibleWidget(form, QAccessible::Window);
    return nullptr;
}

// Where a context menu opened from the keyboard points in `control`: at the centre of its
// current entry (a list) or of its text cursor (a field), as the Menu key does, kept within the
// control.
QPoint KeyboardMenuPoint(QWidget* control) {
    QRect spot;
    if (auto* view = qobject_cast<QAbstractItemView*>(control)) {
        const QRect entry = view->visualRect(view->currentIndex());
        if (entry.isValid())
            spot = QRect(view->viewport()->mapTo(view, entry.topLeft()), entry.size());
    } else {
        spot = control->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    }
    const QRect bounds = control->rect();
    if (!spot.isValid() || !spot.intersects(bounds))
        return bounds.center();
    const QPoint centre = spot.center();
    return QPoint(std::clamp(centre.x(), bounds.left(), bounds.right()),
                  std::clamp(centre.y(), bounds.top(), bounds.bottom()));
}

} // namespace

std::int32_t ScaledPaneWidth(std::int32_t paneWidth, std::int32_t outerWidth,
                             std::int32_t previousWidth) {
    const std::int32_t product = WrapTo32(std::int64_t{paneWidth} * outerWidth);
    // Only INT32_MIN / -1 leaves the 32-bit range; it wraps like the product.
    return WrapTo32(std::int64_t{product} / previousWidth);
}

// --- construction -----------------------------------------------------------------------------

TForm1::TForm1(RegistryStore& store, std::string startFolder, QWidget* parent)
    : TForm1(store, std::move(startFolder), std::nullopt, parent) {}

TForm1::TForm1(RegistryStore& store, TStartSelection selection, QWidget* parent)
    : TForm1(store, std::string(), std::move(selection), parent) {}

TForm1::TForm1(RegistryStore& store, std::string startFolder,
               std::optional<TStartSelection> selection, QWidget* parent)
    : QWidget(parent), store_(store),
      startFolder_(selection ? selection->folder : std::move(startFolder)),
      selection_(std::move(selection)), journalPath_(JournalFile::DefaultPath()),
      detailsButtonTexts_(std::make_unique<TDetailsButtonTexts>()) {
    QCoreApplication::installTranslator(detailsButtonTexts_.get());
    static const bool frameRoleInstalled = [] {
        QAccessible::installFactory(MainWindowAccessible);
        return true;
    }();
    (void)frameRoleInstalled;
    BuildLayout();
    ConnectHandlers();
    FormCreate();
}

TForm1::~TForm1() {
    Guarded([this] { FormDestroy(); });
    QCoreApplication::removeTranslator(detailsButtonTexts_.get());
}

void TForm1::BuildLayout() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velkaro"));
    setWindowIcon(ProgramIcon());
    move(241, 102);
    resize(361, 422);
    outerSizeToKeep_ = size();
    auto* form = new TAlignLayout(this);

    // The fields keep the layout's heights unless the desktop's font needs more.
    const int lineHeight = fontMetrics().height();
    const int editHeight = std::max(21, lineHeight + 7);
    const int comboHeight = std::max(19, lineHeight + 5);
    const int buttonHeight = std::max(19, lineHeight + 5);

    // The tool bar, lowest of the three rows.
    ToolBar1 = Named(new TToolBar(this), "ToolBar1");
    ToolBar1->resize(width(), 25);
    ToolBar1->SetHeights(std::max(25, buttonHeight + 6), buttonHeight);
    Button1 = Named(new QPushButton(QStringLiteral("<<<>>>"), ToolBar1), "Button1");
    Button2 = Named(new QPushButton(QStringLiteral("Preimenuj"), ToolBar1), "Button2");
    Panel4 = Named(new QWidget(ToolBar1), "Panel4");
    CheckBox1 = Named(new QCheckBox(QStringLiteral("Prefiks"), ToolBar1), "CheckBox1");
    CheckBox1->setToolTip(QStringLiteral("Dodaj na početak"));
    CI = Named(new QCheckBox(QStringLiteral("Razlikuj vel. i mala slova"), ToolBar1), "CI");
    CI->setChecked(true);
    // Return and keypad Enter press the focused button, as in the desktop's dialogs. The window
    // has no default button, so Enter in a field presses none.
    for (QPushButton* button : {Button1, Button2})
        button->setAutoDefault(true);
    ToolBar1->AddControl(Button1, 60);
    ToolBar1->AddControl(Button2, 64);
    ToolBar1->AddControl(Panel4, 16);
    ToolBar1->AddControl(CheckBox1, 67);
    ToolBar1->AddControl(CI, 166);

    // The find and replace row.
    Panel1 = MakePanel(this, "Panel1", QSize(width(), 23));
    Panel2 = MakePanel(Panel1, "Panel2", QSize(176, 23));
    CoolBar1 = Named(new TCoolBar(Panel2), "CoolBar1");
    eFind = Named(new QLineEdit(CoolBar1), "eFind");
    eFind->resize(168, editHeight);
    CoolBar1->SetBand(eFind, 21);
    Panel3 = MakePanel(Panel1, "Panel3", QSize(181, 23));
    CoolBar2 = Named(new TCoolBar(Panel3), "CoolBar2");
    eReplace = Named(new QLineEdit(CoolBar2), "eReplace");
    eReplace->resize(165, editHeight);
    CoolBar2->SetBand(eReplace, 21);
    Splitter2 = Named(new TSplitter(Panel1, Panel2, Panel3, 30), "Splitter2");
    Splitter2->resize(4, 23);
    Panel1->resize(width(), std::max({23, CoolBar1->height(), CoolBar2->height()}));
    AlignOf(Panel2)->AddControl(CoolBar1, alTop);
    AlignOf(Panel3)->AddControl(CoolBar2, alTop);
    AlignOf(Panel1)->AddControl(Panel2, alLeft);
    AlignOf(Panel1)->AddControl(Splitter2, alLeft);
    AlignOf(Panel1)->AddControl(Panel3, alClient);

    // The drive and mask row.
    Panel5 = MakePanel(this, "Panel5", QSize(width(), 23));
    Panel6 = MakePanel(Panel5, "Panel6", QSize(145, 23));
    CoolBar3 = Named(new TCoolBar(Panel6), "CoolBar3");
    DriveComboBox1 = Named(new TDriveComboBox(CoolBar3), "DriveComboBox1");
    DriveComboBox1->resize(137, comboHeight);
    CoolBar3->SetBand(DriveComboBox1, 19);
    Panel7 = MakePanel(Panel5, "Panel7", QSize(212, 23));
    CoolBar4 = Named(new TCoolBar(Panel7), "CoolBar4");
    eMask = Named(new QLineEdit(QStringLiteral("*.*"), CoolBar4), "eMask");
    eMask->setToolTip(QStringLiteral("mask"));
    eMask->resize(196, editHeight);
    CoolBar4->SetBand(eMask, 21);
    Splitter3 = Named(new TSplitter(Panel5, Panel6, Panel7, 5), "Splitter3");
    Splitter3->resize(4, 23);
    Panel5->resize(width(), std::max({23, CoolBar3->height(), CoolBar4->height()}));
    AlignOf(Panel6)->AddControl(CoolBar3, alTop);
    AlignOf(Panel7)->AddControl(CoolBar4, alTop);
    AlignOf(Panel5)->AddControl(Panel6, alLeft);
    AlignOf(Panel5)->AddControl(Splitter3, alLeft);
    AlignOf(Panel5)->AddControl(Panel7, alClient);

    // The folder list and the file list above the rows.
    DirectoryListBox1 = Named(new TDirectoryListBox(this), "DirectoryListBox1");
    DirectoryListBox1->resize(145, 324);
    FileListBox1 = Named(new TFileListBox(this), "FileListBox1");
    FileListBox1->resize(204, 324);
    FileListBox1->SetMultiSelect(true);
    // The layout's item height, which stands until the list's font first changes; a taller
    // desktop font is not cut.
    FileListBox1->SetItemHeight(std::max(16, FontLineHeight(FileListBox1->font())));
    Splitter1 = Named(new TSplitter(this, DirectoryListBox1, FileListBox1, 5), "Splitter1");
    Splitter1->resize(4, 324);

    // The folder list drives the file list; the drive selector drives the folder list.
    DirectoryListBox1->SetFileList(FileListBox1);
    DriveComboBox1->SetDirList(DirectoryListBox1);

    form->AddControl(ToolBar1, alBottom);
    form->AddControl(Panel1, alBottom);
    form->AddControl(Panel5, alBottom);
    form->AddControl(DirectoryListBox1, alLeft);
    form->AddControl(Splitter1, alLeft);
    form->AddControl(FileListBox1, alClient);
    form->Realign();

    // The keyboard focus goes round the controls in the layout's tab order.
    QWidget* const focusOrder[] = {FileListBox1, eFind, eReplace,       Button2, Button1,
                                   CheckBox1,    CI,    DriveComboBox1, eMask,   DirectoryListBox1};
    for (std::size_t i = 0; i + 1 < std::size(focusOrder); ++i)
        setTabOrder(focusOrder[i], focusOrder[i + 1]);
    // The first of them has the focus when the window first shows.
    FileListBox1->setFocus();

    // The context menu of the whole window; the edit fields keep their own Cut/Copy/Paste.
    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    auto item = [this](const char* name, const QString& caption) {
        QAction* action = Named(PopupMenu1->addAction(caption), name);
        return action;
    };
    auto separator = [this](const char* name) { return Named(PopupMenu1->addSeparator(), name); };
    Hrvatski1 = item("Hrvatski1", QStringLiteral("Hrvatski"));
    English1 = item("English1", QStringLiteral("English"));
    Deutsch1 = item("Deutsch1", QStringLiteral("Deutsch"));
    Deutsch1->setVisible(false);
    N1 = separator("N1");
    ShellIntegration1 = item("ShellIntegration1", QStringLiteral("(Re)Install Shell Integration"));
    RemoveShellIntegration1 =
        item("RemoveShellIntegration1", QStringLiteral("Remove Shell Integration"));
    RemoveShellIntegration1->setEnabled(false);
    Options1 = separator("Options1");
    RenameSel = item("RenameSel", QStringLiteral("Rename only selected items"));
    N2 = separator("N2");
    About1 = item("About1", QStringLiteral("About"));
    // Beyond the design, after its items.
    N3 = separator("N3");
    ShowNewNames1 = item("ShowNewNames1", QStringLiteral("Show new names"));
    UndoLastRename1 = item("UndoLastRename1", QStringLiteral("Undo last rename"));
    UndoLastRename1->setEnabled(false);
    // Ctrl+Z in the file list; the edit fields keep their own.
    UndoLastRename1->setShortcut(QKeySequence::Undo);
    UndoLastRename1->setShortcutContext(Qt::WidgetShortcut);
    FileListBox1->addAction(UndoLastRename1);
    RuleSwitches1 = new TRuleSwitches(*PopupMenu1, [this] { RuleSwitchClick(); });
    for (QAction* checkable : {Hrvatski1, English1, Deutsch1, RenameSel, ShowNewNames1})
        checkable->setCheckable(true);
    // Screen readers hear every checkable item as checked or not; a language as one of three.
    TMenuAccessible::Take(*PopupMenu1);
    for (QAction* language : {Hrvatski1, English1, Deutsch1})
        TMenuItemAccessible::ReadAsChoice(*language);

    preview_ = new TNewNamesPreview(
        FileListBox1, [this] { return RenameInputs(); },
        [this] { return !DirectoryListBox1->VolumeCaseSensitive(); });
    FileListBox1->SetRefusalText([](TRefusal reason) { return RefusalText(reason); });
    leftOutFolders_ = std::make_unique<TLeftOutFolders>();
    FileListBox1->OnFoldersLeftOut = [this](TFileListBox* list, const TTreeLeftOut& leftOut) {
        leftOutFolders_->Tell(this, windowTitle(), list->FolderPath(), leftOut);
    };
    // The tooltips of the fields right above the tool bar, which tell why a text renames
    // nothing, never lie over its buttons.
    for (QWidget* field : {eFind, eReplace})
        OpenToolTipsAbove(*field);
    listFacts_ = new TListFacts(
        FileListBox1, [this] { return !DirectoryListBox1->VolumeCaseSensitive(); },
        [this] { preview_->Schedule(); });
    preview_->SetFieldContext(
        [this](const TRenameRule& rule) { return listFacts_->ContextFor(rule); });

    // Screen readers name the controls in English until a language table is applied.
    takenFiles_ = new TTakenFilesDescription(*FileListBox1, *Button2);
    ApplyAccessibleTexts(kLanguageTables[1].accessible);
    // The Menu key's stand-in on keyboards without one.
    auto* contextMenuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(contextMenuKey, &QShortcut::activated, this,
            [this] { Guarded([this] { ContextMenuKey(); }); });
}

void TForm1::ConnectHandlers() {
    // Each handler runs inside the error guard.
    auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    // A menu item's own handler decides about its check mark: the toolkit's toggling on a
    // click is undone before the handler runs.
    auto onClick = [this, guarded](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [action, run = guarded(handler)] {
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            run();
        });
    };
    connect(Button1, &QPushButton::clicked, this, guarded(&TForm1::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guarded(&TForm1::Button2Click));
    connect(CheckBox1, &QCheckBox::clicked, this, guarded(&TForm1::CheckBox1Click));
    connect(eMask, &QLineEdit::textChanged, this, guarded(&TForm1::eMaskChange));
    connect(PopupMenu1, &QMenu::aboutToShow, this, guarded(&TForm1::PopupMenu1Popup));
    onClick(Hrvatski1, &TForm1::Hrvatski1Click);
    onClick(English1, &TForm1::English1Click);
    onClick(Deutsch1, &TForm1::Deutsch1Click);
    onClick(ShellIntegration1, &TForm1::ShellIntegration1Click);
    onClick(RemoveShellIntegration1, &TForm1::RemoveShellIntegration1Click);
    onClick(RenameSel, &TForm1::RenameSelClick);
    onClick(About1, &TForm1::About1Click);
    onClick(ShowNewNames1, &TForm1::ShowNewNames1Click);
    onClick(UndoLastRename1, &TForm1::UndoLastRename1Click);
    // Whatever the next batch depends on changes the preview of its new names, and may make
    // or mend a rule that cannot rename.
    auto ruleChanged = [this, check = guarded(&TForm1::CheckRenameRule)] {
        check();
        preview_->Schedule();
    };
    connect(eFind, &QLineEdit::textChanged, this, ruleChanged);
    connect(eReplace, &QLineEdit::textChanged, this, ruleChanged);
    connect(CheckBox1, &QCheckBox::toggled, this, ruleChanged);
    connect(CI, &QCheckBox::toggled, this, ruleChanged);
}

// --- start and end ----------------------------------------------------------------------------

void TForm1::FormCreate() {
    // An error in one step is reported and the next steps still run: the settings do not depend
    // on the start folder, each stored value is read on its own, and the colours and the
    // language apply whatever was read.

    // 1. The start folder from the command line goes to the folder list. Beyond the design: a
    // folder that does not answer at once (its server is gone) would keep the window from ever
    // showing; it is opened once the window shows (OpenLateStartFolder). The controls start on
    // the current directory, which is left first when it does not answer either.
    bool opened = false;
    const std::string here = DirectoryListBox1->FolderPath();
    const std::string start = startFolder_.empty() ? here : startFolder_;
    const bool putOff = selection_ && !selection_->ungrouped.empty(); // it did not answer before
    const bool startAnswers = !putOff && StartFolderAnswers(start);
    if (start == here ? !startAnswers : !StartFolderAnswers(here))
        Guarded([this] {
            // Away from it by a path of its own: every look back at it would wait.
            const std::string elsewhere = AnsweringStartFolder();
            SetCurrentDir(elsewhere);
            DirectoryListBox1->SetFolderPath(elsewhere);
        });
    if (!startAnswers)
        lateStartFolder_ = start;
    else if (!startFolder_.empty())
        Guarded([this, &opened] {
            DirectoryListBox1->SetFolderPath(startFolder_);
            opened = true;
        });

    // 2. The resize rule starts from the layout's outer width.
    PreviousWidth = Width();
    // 3 to 8.
    Guarded([this] { LoadSettings(); });
    // Beyond the design: the entries of a start selection are the ones renamed in this run. A
    // folder that could not be opened has been reported; nothing of it is selected.
    if (!lateStartFolder_)
        TakeStartSelection(opened);
    // 9.
    Guarded([this] { UpdateFileListColors(); });
    // 10.
    Guarded([this] { ApplyLanguage(); });
    // Beyond the design: the preview as stored, and undo when a journal is left.
    preview_->SetOn(ShowNewNames1->isChecked());
    Guarded([this] { UpdateUndoItem(); });
}

void TForm1::TakeStartSelection(bool opened) {
    if (selection_ && !opened)
        selection_->entries.clear();
    if (selection_ && !selection_->entries.empty()) {
        storedRenameSel_ = RenameSel->isChecked();
        RenameSel->setChecked(true);
        // A folder of the selection stands for its files, those of its subfolders too.
        if (selection_->HoldsFolders()) {
            RuleSwitches1->IncludeSubfoldersForThisRun();
            Guarded([this] { FileListBox1->SetIncludeSubfolders(true); });
        }
    }
}

void TForm1::OpenLateStartFolder() {
    if (!lateStartFolder_)
        return;
    const std::string folder = std::move(*lateStartFolder_);
    lateStartFolder_.reset();
    ShowFolderNoAnswer(this, windowTitle(), folder);
    if (ProgramClosing())
        return;
    // From now on as a folder the user picked: the window waits for it, drawn, and a close gives
    // the wait up.
    if (selection_ && !selection_->ungrouped.empty())
        *selection_ = GroupSelection(std::exchange(selection_->ungrouped, {}));
    const std::string target = selection_ ? selection_->folder : folder;
    bool opened = false;
    if (!target.empty())
        Guarded([this, &target, &opened] {
            DirectoryListBox1->SetFolderPath(target);
            opened = true;
        });
    if (!selection_)
        return;
    TakeStartSelection(opened);
    UpdateFileListColors();
    SelectStartEntries();
}

void TForm1::FormDestroy() {
    // A write that fails ends the saving there: the store refuses, and the later writes would
    // only be refused too.
    SaveSettings();
    // The installed shell verb gets the label of the current language.
    RaisingPublishingFailures([this] { RelabelShellVerb(ShellLabel, store_); });
}

void TForm1::LoadSettings() {
    TRegIniFile settings(kSettingsKey, store_);
    // Each value is read on its own: a value that cannot be read (a value of another kind than
    // text) is reported and keeps its default, and the values after it are still read.
    CurrentLanguage = "English";
    Guarded([&] { CurrentLanguage = settings.ReadText(kLanguageValue, "English"); });
    Guarded([&] { SetWidth(settings.ReadNumber(kWidthValue, Width())); });
    Guarded([&] { SetHeight(settings.ReadNumber(kHeightValue, Height())); });
    Guarded([&] { SetTop(settings.ReadNumber(kTopValue, Top())); });
    Guarded([&] { SetLeft(settings.ReadNumber(kLeftValue, Left())); });
    // Beyond the design: a place from another monitor or scale would leave the window partly
    // off screen. Before the pane widths, so that a size that had to shrink keeps them.
    Guarded([&] { FitOntoScreen(); });
    Guarded([&] {
        SetPaneWidth(DirectoryListBox1,
                     settings.ReadNumber(kFolderListWidthValue, DirectoryListBox1->width()));
    });
    Guarded([&] { SetPaneWidth(Panel2, settings.ReadNumber(kPanel2WidthValue, Panel2->width())); });
    Guarded([&] { SetPaneWidth(Panel6, settings.ReadNumber(kPanel6WidthValue, Panel6->width())); });
    Guarded([&] { RenameSel->setChecked(settings.ReadFlag(kRenameSelValue, true)); });
    Guarded([&] { ShowNewNames1->setChecked(settings.ReadFlag(kShowNewNamesValue, false)); });
    RuleSwitches1->Load(settings);
    // Before the file list's first read.
    Guarded([&] { FileListBox1->SetIncludeSubfolders(RuleSwitches1->IncludeSubfolders()); });
}

void TForm1::SaveSettings() {
    TRegIniFile settings(kSettingsKey, store_);
    // One change of the store: of two instances closing at once, the one that ends last is
    // the one the next run sees, with all of its values.
    settings.BeginUpdate();
    settings.WriteText(kLanguageValue, CurrentLanguage);
    settings.WriteNumber(kWidthValue, Width());
    settings.WriteNumber(kHeightValue, Height());
    // Beyond the design: where the window system does not tell the window's place (Wayland),
    // the place stored by another session stays.
    if (WindowSystemTellsWindowPlace()) {
        settings.WriteNumber(kTopValue, Top());
        settings.WriteNumber(kLeftValue, Left());
    }
    settings.WriteNumber(kFolderListWidthValue, DirectoryListBox1->width());
    settings.WriteNumber(kPanel2WidthValue, Panel2->width());
    settings.WriteNumber(kPanel6WidthValue, Panel6->width());
    settings.WriteFlag(kRenameSelValue, storedRenameSel_.value_or(RenameSel->isChecked()));
    settings.WriteFlag(kShowNewNamesValue, ShowNewNames1->isChecked());
    RuleSwitches1->Save(settings);
    settings.EndUpdate();
}

// --- bounds and the resize rule ---------------------------------------------------------------

int TForm1::Left() const {
    return x();
}

int TForm1::Top() const {
    return y();
}

int TForm1::Width() const {
    return frameGeometry().width();
}

int TForm1::Height() const {
    return frameGeometry().height();
}

void TForm1::SetLeft(int left) {
    move(left, y());
}

void TForm1::SetTop(int top) {
    move(x(), top);
}

void TForm1::SetWidth(int width) {
    SetOuterSize(QSize(width, Height()));
}

void TForm1::SetHeight(int height) {
    SetOuterSize(QSize(Width(), height));
}

void TForm1::SetOuterSize(QSize outer) {
    const QSize frame = frameGeometry().size() - size();
    if (frame.isNull())
        outerSizeToKeep_ = outer;
    const QSize before = size();
    resize(outer - frame);
    // A hidden window hears of its new size only when it is shown; the resize rule hears of it
    // now, so that a pane width applied after the window's size stands.
    if (!isVisible() && size() != before)
        Guarded([this] { FormResize(); });
}

void TForm1::FitOntoScreen() {
    std::vector<QRect> areas;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.push_back(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            areas.push_back(screen->availableGeometry());
    const QRect outer(Left(), Top(), Width(), Height());
    const QRect fitted = FittedOntoScreens(outer, areas);
    if (fitted.width() != outer.width())
        SetWidth(fitted.width());
    if (fitted.height() != outer.height())
        SetHeight(fitted.height());
    if (fitted.topLeft() != outer.topLeft())
        move(fitted.topLeft());
}

bool TForm1::KeepOuterSize() {
    if (!outerSizeToKeep_)
        return false;
    const QSize wanted = *outerSizeToKeep_;
    if (size() != wanted) {
        // The user or the window system chose another size: that one stands.
        outerSizeToKeep_.reset();
        return false;
    }
    const QSize frame = frameGeometry().size() - size();
    if (frame.isNull())
        return false; // not framed yet
    outerSizeToKeep_.reset();
    resize(wanted - frame);
    return true;
}

bool TForm1::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Move || event->type() == QEvent::Show)
        KeepOuterSize();
    // The lists are shown before the window, so the file list has read the folder by now.
    if (event->type() == QEvent::Show && selection_ && !lateStartFolder_)
        Guarded([this] { SelectStartEntries(); });
    // A start folder that did not answer is opened once the window is there to be drawn.
    if (event->type() == QEvent::Show && lateStartFolder_)
        QMetaObject::invokeMethod(
            this, [this] { Guarded([this] { OpenLateStartFolder(); }); }, Qt::QueuedConnection);
    return handled;
}

void TForm1::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (WaitingOnFileSystem())
        CloseProgram();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The frame's arrival is no change of size: the rule runs once the outer size is back.
    if (KeepOuterSize())
        return;
    Guarded([this] { FormResize(); });
}

void TForm1::FormResize() {
    const std::int32_t outerWidth = Width();
    // Before the rule has a previous width there is nothing to scale by.
    if (PreviousWidth != 0)
        SetPaneWidth(Panel2, ScaledPaneWidth(Panel2->width(), outerWidth, PreviousWidth));
    PreviousWidth = outerWidth;
}

// --- handlers ---------------------------------------------------------------------------------

void TForm1::Button1Click() {
    const QString find = eFind->text();
    const QString replace = eReplace->text();
    eFind->setText(replace);
    eReplace->setText(find);
}

TRenameInputs TForm1::RenameInputs() const {
    TRenameInputs inputs;
    inputs.selectedOnly = RenameSel->isChecked();
    inputs.prefixMode = CheckBox1->isChecked();
    inputs.caseSensitive = CI->isChecked();
    inputs.findText = Bytes(eFind->text());
    inputs.replaceText = Bytes(eReplace->text());
    RuleSwitches1->FillInputs(inputs);
    return inputs;
}

void TForm1::Button2Click() {
    const TRenameInputs inputs = RenameInputs();
    TRenameRule rule(inputs, rule_ ? &*rule_ : nullptr);
    // A rule with fields renames by the facts it needs, all of them read first.
    if (rule.HasFields() && !rule.Error()) {
        if (!listFacts_->WaitFor(rule))
            return;
        rule.SetFieldContext(listFacts_->ContextFor(rule));
    }
    TBatchJournal journal(journalPath_, FileListBox1->FolderPath());
    // A journal on a server that does not answer is not waited for: the batch runs without it.
    if (!JournalAnswers())
        journal.StayAway({JournalProblem::NoAnswer, {}});
    TFolderMoves moves; // the entries of subfolders are renamed in their folders
    try {
        RenameBatch(
            *FileListBox1, inputs.selectedOnly, rule,
            [&moves](const std::string& oldName, const std::string& newName,
                     IMoveWitness* witness) { return moves.Move(oldName, newName, witness); },
            [this](const std::vector<TRefusedRename>& refused) { ShowFailure(refused); }, &journal,
            !DirectoryListBox1->VolumeCaseSensitive());
    } catch (const ERenameRule& bad) {
        // The plan is made before the first rename: nothing was touched.
        ShowRuleError(bad.Error());
        return;
    }
    if (!journal.StaleBatch().empty())
        notOffered_.insert(journal.StaleBatch());
    // The journal there may stand for a batch before this one, which no one could make void.
    if (journal.Kept() || journal.RenamedUnrecorded())
        undoWithheld_ = journal.RenamedUnrecorded() &&
                        journal.Trouble().problem == JournalProblem::NoAnswer;
    preview_->FolderChanged();
    listFacts_->NamesChanged();
    UpdateUndoItem();
    if (journal.RenamedUnrecorded())
        ShowUndoMessage(this, windowTitle(), NotUndoableText(journal.Trouble(), journalPath_));
}

void TForm1::ShowRuleError(const TRuleError& error) {
    const QString text = RuleErrorText(error, eFind->text(), eReplace->text()) + QLatin1Char('\n') +
                         QString::fromUtf8(FeatureTexts.nothingRenamed);
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

void TForm1::CheckRenameRule() {
    const TRenameInputs inputs = RenameInputs();
    rule_ = TRenameRule(inputs, rule_ ? &*rule_ : nullptr);
    const std::optional<TRuleError>& error = rule_->Error();
    QString findTip = findHint_;
    QString replaceTip = replaceHint_;
    auto addLine = [](QString& tip, const QString& line) {
        tip = tip.isEmpty() ? line : tip + QLatin1Char('\n') + line;
    };
    if (inputs.numbering)
        addLine(replaceTip, QString::fromUtf8(FeatureTexts.numberingHelp));
    if (inputs.regularExpression && !inputs.prefixMode)
        addLine(replaceTip, QString::fromUtf8(FeatureTexts.substitutionHelp));
    if (inputs.fields)
        addLine(replaceTip, QString::fromUtf8(FeatureTexts.fieldsHelp));
    const bool badFind = error && error->part == TRuleError::FindText;
    const bool badReplace = error && error->part == TRuleError::ReplaceText;
    if (error)
        addLine(badFind ? findTip : replaceTip,
                RuleErrorText(*error, eFind->text(), eReplace->text()));
    eFind->setToolTip(findTip);
    eReplace->setToolTip(replaceTip);
    MarkBadField(eFind, badFind);
    MarkBadField(eReplace, badReplace);
}

void TForm1::ShowFailure(const std::vector<TRefusedRename>& refused) {
    // The folder has changed: the preview must not predict from its old names meanwhile.
    preview_->FolderChanged();
    ShowRenameFailure(this, windowTitle(), refused);
}

void TForm1::SelectStartEntries() {
    TStartSelection selection = std::move(*selection_);
    selection_.reset();
    // Files by their names, folders by theirs with whether a file below them was found.
    std::unordered_map<std::string, const TSelectedEntry*> wanted;
    std::unordered_map<std::string, bool> folders;
    for (const TSelectedEntry& entry : selection.entries) {
        if (entry.folder)
            folders.emplace(entry.name, false);
        else
            wanted.emplace(entry.name, &entry);
    }
    int first = -1;
    const auto select = [&](int i) {
        FileListBox1->SetEntrySelected(i, true);
        if (first < 0)
            first = i;
    };
    for (int i = 0; i < FileListBox1->EntryCount() && !(wanted.empty() && folders.empty()); ++i) {
        // An entry of a folder below the list's is selected by the folder it lies in.
        const std::string path = FileListBox1->EntryPath(i);
        if (const auto found = wanted.find(path); found != wanted.end()) {
            select(i);
            wanted.erase(found);
        } else if (const std::size_t slash = path.find('/'); slash != std::string::npos) {
            if (const auto folder = folders.find(path.substr(0, slash)); folder != folders.end()) {
                select(i);
                folder->second = true;
            }
        }
    }
    // Then the paths whose entries the list does not show.
    for (const TSelectedEntry& entry : selection.entries)
        if (entry.folder ? !folders[entry.name] : wanted.contains(entry.name))
            selection.leftOut.push_back({entry.path, TLeftOut::NotListed});
    if (first >= 0) {
        const QModelIndex current = FileListBox1->model()->index(first, 0);
        FileListBox1->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        FileListBox1->scrollTo(current);
    }
    FileListBox1->viewport()->update();
    preview_->Schedule();
    if (!selection.leftOut.empty())
        QMetaObject::invokeMethod(
            this,
            [this, leftOut = std::move(selection.leftOut)] {
                Guarded([&] { ShowLeftOutPaths(this, windowTitle(), leftOut); });
            },
            Qt::QueuedConnection);
}

void TForm1::CheckBox1Click() {
    const bool prefix = CheckBox1->isChecked();
    eFind->setEnabled(!prefix);
    QPalette colours = eFind->palette();
    colours.setColor(QPalette::Base, QApplication::palette(eFind).color(prefix ? QPalette::Button
                                                                               : QPalette::Base));
    eFind->setPalette(colours);
}

void TForm1::eMaskChange() {
    FileListBox1->SetMask(Bytes(eMask->text()));
}

void TForm1::RenameSelClick() {
    RenameSel->setChecked(!RenameSel->isChecked());
    storedRenameSel_.reset(); // the user's choice is the one to keep
    UpdateFileListColors();
    preview_->Schedule();
}

void TForm1::UpdateFileListColors() {
    const QPalette system = QApplication::palette(FileListBox1);
    if (RenameSel->isChecked()) {
        FileListBox1->SetColor(system.color(QPalette::Base));
        FileListBox1->SetFontColor(system.color(QPalette::Text));
    } else {
        FileListBox1->SetColor(system.color(QPalette::Highlight));
        FileListBox1->SetFontColor(system.color(QPalette::HighlightedText));
    }
    // Beyond the design: what the colours tell, told to assistive technologies.
    FileListBox1->SetShownAllSelected(!RenameSel->isChecked());
    DescribeFileList();
}

void TForm1::DescribeFileList() {
    takenFiles_->Set(accessibleTexts_, RenameSel->isChecked());
}

void TForm1::PopupMenu1Popup() {
    RemoveShellIntegration1->setEnabled(ShellVerbInstalled(store_));
    for (QAction* language : {Hrvatski1, English1, Deutsch1})
        language->setChecked(Bytes(language->text()) == CurrentLanguage);
    UpdateUndoItem();
}

void TForm1::About1Click() {
    if (AboutBox)
        AboutBox->exec();
}

void TForm1::Hrvatski1Click() {
    CurrentLanguage = "Hrvatski";
    ApplyLanguage();
}

void TForm1::English1Click() {
    CurrentLanguage = "English";
    ApplyLanguage();
}

void TForm1::Deutsch1Click() {
    CurrentLanguage = "Deutsch";
    ApplyLanguage();
}

void TForm1::ShellIntegration1Click() {
    RaisingPublishingFailures([this] {
        InstallShellVerb(QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString(),
                         Bytes(windowTitle()), store_);
    });
}

void TForm1::RemoveShellIntegration1Click() {
    RaisingPublishingFailures([this] { RemoveShellVerb(store_); });
}

void TForm1::ShowNewNames1Click() {
    ShowNewNames1->setChecked(!ShowNewNames1->isChecked());
    preview_->SetOn(ShowNewNames1->isChecked());
}

void TForm1::UndoLastRename1Click() {
    if (undoWithheld_)
        return UpdateUndoItem();
    if (!JournalAnswers()) {
        UpdateUndoItem();
        return ShowUndoMessage(
            this, windowTitle(),
            NothingUndoneText({JournalProblem::NoAnswer, {}}, journalPath_));
    }
    const TLastBatch last = LastBatch(journalPath_);
    if (notOffered_.contains(last.key) ||
        (!last.undoable && last.trouble.problem == JournalProblem::None))
        return UpdateUndoItem();
    TUndoOutcome outcome;
    if (last.undoable) {
        THourglass hourglass;
        hourglass.Show();
        TFolderMoves moves;
        outcome = UndoLastBatch(
            journalPath_,
            [&moves](const std::string& oldName, const std::string& newName,
                     IMoveWitness* witness) { return moves.Move(oldName, newName, witness); },
            last.batchId);
        // Entries change in place only when the list shows the batch's folder.
        if (!outcome.restored.empty() && SameFolder(outcome.folder, FileListBox1->FolderPath()))
            RestoreEntries(*FileListBox1, outcome.restored, RenameSel->isChecked());
    } else {
        outcome.trouble = last.trouble;
    }
    // What undo cannot do it tells once; a journal another window holds is only busy, and a
    // folder that may come back (a drive not connected) is waited for.
    if (outcome.trouble.problem != JournalProblem::None &&
        outcome.trouble.problem != JournalProblem::Busy)
        notOffered_.insert(last.key);
    UpdateUndoItem();
    if (outcome.folderReplaced)
        ShowUndoMessage(this, windowTitle(),
                        FolderReplacedText(outcome.folder, outcome.givenUpWithFolder));
    else if (outcome.trouble.problem != JournalProblem::None)
        ShowUndoMessage(this, windowTitle(), NothingUndoneText(outcome.trouble, journalPath_));
    if (!outcome.refused.empty())
        ShowFailure(outcome.refused);
    preview_->FolderChanged();
    listFacts_->NamesChanged();
}

void TForm1::RuleSwitchClick() {
    FileListBox1->SetIncludeSubfolders(RuleSwitches1->IncludeSubfolders());
    CheckRenameRule();
    preview_->Schedule();
}

bool TForm1::JournalAnswers() const {
    return AnswersAtOnce(ParentOf(journalPath_));
}

void TForm1::UpdateUndoItem() {
    // Nothing is known of a journal whose folder does not answer: nothing is offered.
    if (undoWithheld_ || !JournalAnswers()) {
        UndoLastRename1->setEnabled(false);
        return;
    }
    const TLastBatch last = LastBatch(journalPath_);
    UndoLastRename1->setEnabled(!notOffered_.contains(last.key) &&
                                (last.undoable || last.trouble.problem != JournalProblem::None));
}

void TForm1::ApplyLanguage() {
    if (const TLanguageTable* table = FindLanguageTable(CurrentLanguage)) {
        auto text = [](const char* utf8) { return QString::fromUtf8(utf8); };
        setWindowTitle(text(table->caption));
        Button2->setText(text(table->button2Caption));
        CheckBox1->setText(text(table->checkBox1Caption));
        CheckBox1->setToolTip(text(table->checkBox1Hint));
        findHint_ = text(table->eFindHint);
        eFind->setToolTip(findHint_);
        replaceHint_ = text(table->eReplaceHint);
        eReplace->setToolTip(replaceHint_);
        Button1->setToolTip(text(table->button1Hint));
        eMask->setToolTip(text(table->eMaskHint));
        ShellIntegration1->setText(text(table->shellIntegration1Caption));
        RemoveShellIntegration1->setText(text(table->removeShellIntegration1Caption));
        RenameSel->setText(text(table->renameSelCaption));
        FailureText = table->failureText;
        CI->setText(text(table->ciCaption));
        ShellLabel = table->shellLabel;
        FeatureTexts = table->features;
        ShowNewNames1->setText(text(FeatureTexts.showNewNames1Caption));
        UndoLastRename1->setText(text(FeatureTexts.undoLastRename1Caption));
        RuleSwitches1->ApplyTexts(FeatureTexts);
        FileListBox1->SetProgressText([reading = text(FeatureTexts.readingSubfolders)](
                                          std::size_t folders, std::size_t files) {
            return reading.arg(static_cast<qulonglong>(folders))
                .arg(static_cast<qulonglong>(files));
        });
        listFacts_->SetStillReadingText(text(FeatureTexts.stillReading));
        listFacts_->SetWaitingTexts(text(FeatureTexts.waitingForFacts),
                                    text(FeatureTexts.cancelWaiting));
        ApplyAccessibleTexts(table->accessible);
        ToolBar1->Repack();
    }
    ApplicationTitle = windowTitle();
    // The hints of the fields as the switches and the rule want them, in this language.
    CheckRenameRule();
}

void TForm1::ApplyAccessibleTexts(const TAccessibleTexts& texts) {
    accessibleTexts_ = texts;
    auto text = [](const char* utf8) { return QString::fromUtf8(utf8); };
    eFind->setAccessibleName(text(texts.eFindName));
    eReplace->setAccessibleName(text(texts.eReplaceName));
    eMask->setAccessibleName(text(texts.eMaskName));
    DriveComboBox1->setAccessibleName(text(texts.driveComboBox1Name));
    DirectoryListBox1->setAccessibleName(text(texts.directoryListBox1Name));
    FileListBox1->setAccessibleName(text(texts.fileListBox1Name));
    Button1->setAccessibleName(text(texts.button1Name));
    DescribeFileList();
}

// --- context menu -----------------------------------------------------------------------------

void TForm1::ContextMenuKey() {
    QWidget* control = QApplication::focusWidget();
    if (!control || control->window() != this)
        control = this;
    const QPoint point = KeyboardMenuPoint(control);
    // Sent to the control as the Menu key's event is: a control without a menu of its own
    // passes it up to the window's.
    QContextMenuEvent event(QContextMenuEvent::Keyboard, point, control->mapToGlobal(point),
                            Qt::NoModifier);
    QCoreApplication::sendEvent(control, &event);
}

void TForm1::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu1->popup(event->globalPos());
    event->accept();
}

} // namespace nomilo
