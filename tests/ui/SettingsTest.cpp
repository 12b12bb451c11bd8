#include "browse/DirectoryListBox.h"
#include "browse/FileListBox.h"
#include "tests/support/Modal.h"
#include "tests/ui/FormTesting.h"
#include "ui/ErrorReport.h"
#include "ui/RuleSwitches.h"
#include "ui/Splitter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

namespace nomilo {
namespace {

using namespace std::literals;
using Settings = test::FormTest;

const std::vector<std::string> kValueNames = {
    "Jezik",        "Width",        "Height",    "Top",         "Left", "DirectoryListBox1.Width",
    "Panel2.Width", "Panel6.Width", "RenameSel", "ShowNewNames", "RegularExpression",
    "EveryOccurrence", "Numbering", "Fields", "IncludeSubfolders"};

// The fourteen texts the language tables set, in their order, and the application title.
std::vector<std::string> LanguageTexts(const TForm1& f) {
    auto s = [](const QString& text) { return text.toStdString(); };
    return {s(f.windowTitle()),
            s(f.Button2->text()),
            s(f.CheckBox1->text()),
            s(f.CheckBox1->toolTip()),
            s(f.eFind->toolTip()),
            s(f.eReplace->toolTip()),
            s(f.Button1->toolTip()),
            s(f.eMask->toolTip()),
            s(f.ShellIntegration1->text()),
            s(f.RemoveShellIntegration1->text()),
            s(f.RenameSel->text()),
            FailureText,
            s(f.CI->text()),
            ShellLabel,
            s(ApplicationTitle)};
}

const std::vector<std::string> kGerman = {"Drostel",
                                          "Umnennen",
                                          "Präfix",
                                          "Add to the beginning",
                                          "finden",
                                          "umtauschen",
                                          "finden -> <- umtauschen",
                                          "Mask",
                                          "(Re)Install Shell Integration",
                                          "Remove Shell Integration",
                                          "Rename only selected items",
                                          "Some files could not be renamed.",
                                          "Case sensitive",
                                          "No&milo",
                                          "Drostel"};
// Spot checks of the Croatian and English tables; the German one, which mixes in English texts,
// is checked whole above, and every switch below compares all fourteen targets.
bool ShowsCroatian(const TForm1& f) {
    const auto texts = LanguageTexts(f);
    return texts[0] == "Velkaro" && texts[4] == "pronađi" &&
           texts[11] == "Neke datoteke nije bilo moguće preimenovati." && texts[13] == "Vel&karo" &&
           texts[14] == "Velkaro";
}
bool ShowsEnglish(const TForm1& f) {
    const auto texts = LanguageTexts(f);
    return texts[0] == "Nomilo" && texts[1] == "Rename" &&
           texts[11] == "Some files could not be renamed." && texts[12] == "Case sensitive" &&
           texts[13] == "No&milo" && texts[14] == "Nomilo";
}

// The layout's own texts, with no table applied.
const std::vector<std::string> kLayout = {"Velkaro",
                                          "Preimenuj",
                                          "Prefiks",
                                          "Dodaj na početak",
                                          "",
                                          "",
                                          "",
                                          "mask",
                                          "(Re)Install Shell Integration",
                                          "Remove Shell Integration",
                                          "Rename only selected items",
                                          "",
                                          "Razlikuj vel. i mala slova",
                                          "",
                                          "Velkaro"};

TEST_F(Settings, FirstRunCreatesTheKeyAndWritesTheNineValuesThenTheNewOneAtExit) {
    TForm1& f = Create();
    RegKey key;
    EXPECT_EQ(store.OpenKey(RegKey::Root(HKEY_CURRENT_USER), "Software\\Kestrio\\Nomilo",
                            RegAccess::Read, key),
              RegStatus::Ok);
    EXPECT_TRUE(StoredNames().empty()); // nothing is written before the exit
    EXPECT_EQ(CurrentLanguage, "English");
    EXPECT_TRUE(ShowsEnglish(f));
    EXPECT_TRUE(f.RenameSel->isChecked());

    Destroy();
    EXPECT_EQ(StoredNames(), kValueNames);
    const std::vector<std::string> texts = {"English", "361", "422", "102", "241",
                                            "145",     "176", "145", "1",   "0",
                                            "0",       "0",   "0",   "0",   "0"};
    for (std::size_t i = 0; i < kValueNames.size(); ++i)
        EXPECT_EQ(Stored(kValueNames[i]), "1:" + texts[i]) << kValueNames[i]; // REG_SZ
}

TEST_F(Settings, TheNineValuesReachTheStoreAsOneChange) {
    Create();
    // What the store file held each time it changed while the window closed.
    std::vector<std::vector<std::string>> seen;
    store.SetChangeHook([&](RegRoot, const std::string&) { seen.push_back(StoredNames()); });
    Destroy();
    EXPECT_EQ(seen, std::vector<std::vector<std::string>>{kValueNames});
}

TEST_F(Settings, ASecondRunRestoresGeometryPanesModeAndLanguage) {
    const std::vector<std::string> texts = {"Hrvatski", "500", "300", "10", "4",
                                            "200",      "150", "120", "0",  "1",
                                            "1",        "0",   "1",   "1",  "1"};
    for (std::size_t i = 0; i < kValueNames.size(); ++i)
        PutText(kValueNames[i], texts[i]);
    TForm1& f = Create();
    // Outer bounds that lie on the screen, applied as stored.
    EXPECT_EQ(QRect(f.Left(), f.Top(), f.Width(), f.Height()), QRect(4, 10, 500, 300));
    EXPECT_EQ(f.DirectoryListBox1->width(), 200);
    EXPECT_EQ(f.Panel2->width(), 150);
    EXPECT_EQ(f.Panel6->width(), 120);
    EXPECT_FALSE(f.RenameSel->isChecked());
    EXPECT_TRUE(f.ShowNewNames1->isChecked());
    EXPECT_TRUE(f.RuleSwitches1->RegularExpression1->isChecked());
    EXPECT_FALSE(f.RuleSwitches1->EveryOccurrence1->isChecked());
    EXPECT_TRUE(f.RuleSwitches1->Numbering1->isChecked());
    EXPECT_TRUE(f.RuleSwitches1->Fields1->isChecked());
    EXPECT_TRUE(f.RuleSwitches1->IncludeSubfolders1->isChecked());
    EXPECT_TRUE(f.FileListBox1->IncludeSubfolders());
    EXPECT_EQ(f.FileListBox1->Color(),
              QApplication::palette(f.FileListBox1).color(QPalette::Highlight));
    EXPECT_TRUE(ShowsCroatian(f));
    Destroy();
    for (std::size_t i = 0; i < kValueNames.size(); ++i)
        EXPECT_EQ(Stored(kValueNames[i]), "1:" + texts[i]) << kValueNames[i];

    // Shown (and framed), the window keeps its outer size, and the restored pane widths stand:
    // the resize rule does not scale the find pane by the restored window width.
    CreateShown();
    QApplication::processEvents();
    EXPECT_EQ(form->Width(), 500);
    EXPECT_EQ(form->Height(), 300);
    EXPECT_EQ(form->DirectoryListBox1->width(), 200);
    EXPECT_EQ(form->Panel2->width(), 150);
    EXPECT_EQ(form->Splitter2->x(), 150);
    EXPECT_EQ(form->Panel6->width(), 120);
}

TEST_F(Settings, StoredGermanShowsTheGermanTable) {
    PutText("Jezik", "Deutsch");
    PutText("RenameSel", "2");
    TForm1& f = Create();
    EXPECT_EQ(LanguageTexts(f), kGerman);
    EXPECT_FALSE(f.Deutsch1->isVisible());
    EXPECT_TRUE(f.RenameSel->isChecked());
    Destroy();
    EXPECT_EQ(Stored("Jezik"), "1:Deutsch");
    EXPECT_EQ(Stored("RenameSel"), "1:1");
}

TEST_F(Settings, AnUnknownLanguageKeepsTheLayoutsTextsAndIsWrittenBackAsItWas) {
    for (const std::string language : {"english", ""}) {
        PutText("Jezik", language);
        TForm1& f = Create();
        EXPECT_EQ(CurrentLanguage, language);
        EXPECT_EQ(LanguageTexts(f), kLayout) << language;
        Destroy();
        EXPECT_EQ(Stored("Jezik"), "1:" + language);
    }
    // A language item repairs every text.
    TForm1& f = Create();
    f.English1->trigger();
    EXPECT_TRUE(ShowsEnglish(f));
}

TEST_F(Settings, SwitchingLanguagesSetsEveryTextOfTheTable) {
    PutText("Jezik", "Hrvatski");
    TForm1& f = Create();
    const auto croatian = LanguageTexts(f);
    EXPECT_TRUE(ShowsCroatian(f));
    f.English1->trigger();
    EXPECT_EQ(CurrentLanguage, "English");
    const auto english = LanguageTexts(f);
    EXPECT_TRUE(ShowsEnglish(f));
    for (std::size_t i = 0; i < english.size(); ++i) // every target changed, none forgotten
        EXPECT_NE(english[i], croatian[i]) << i;
    f.Hrvatski1->trigger();
    EXPECT_EQ(LanguageTexts(f), croatian);
}

TEST_F(Settings, AValueOfAnotherKindIsReportedTheWindowOpensAndTheValueIsReplaced) {
    PutText("Jezik", "Hrvatski");
    Put("Width", REG_DWORD, "\x00\x02\x00\x00"sv);
    PutText("Height", "300");
    PutText("Panel2.Width", "90");
    std::unique_ptr<TForm1> opened;
    const auto shown = test::CaptureMessageBoxes([&] { Create(); });
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Tarvolen");
    EXPECT_EQ(shown.text, "Invalid data type for 'Width'");
    // The values that read fine apply, and so do the colours and the language.
    EXPECT_EQ(form->Width(), 361);
    EXPECT_EQ(form->Height(), 300);
    EXPECT_EQ(form->Panel2->width(), 90);
    EXPECT_TRUE(ShowsCroatian(*form));

    Destroy();
    EXPECT_EQ(Stored("Width"), "1:361");
    EXPECT_EQ(Stored("Height"), "1:300");
    EXPECT_EQ(Stored("Panel2.Width"), "1:90");
}

TEST_F(Settings, AStoreThatRefusesTheWritesIsReportedOnceAndTheWindowStillCloses) {
    Create();
    // The lock file's place taken by a folder: every change is refused, root's too.
    std::filesystem::remove(store.Path() + ".lock");
    std::filesystem::create_directory(store.Path() + ".lock");
    const auto shown = test::CaptureMessageBoxes([&] { Destroy(); });
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.title, "Nomilo");
    EXPECT_EQ(shown.text, "Failed to create key Software\\Kestrio\\Nomilo.");
    EXPECT_TRUE(StoredNames().empty());
}

} // namespace
} // namespace nomilo
