#include "browse/DirectoryListBox.h"
#include "browse/DriveComboBox.h"
#include "browse/FileListBox.h"
#include "tests/ui/FormTesting.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <map>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <string>
#include <vector>

namespace nomilo {
namespace {

std::string Text(QAccessibleInterface* iface, QAccessible::Text kind = QAccessible::Name) {
    return iface ? iface->text(kind).toStdString() : "(none)";
}

std::string NameOf(QWidget* control, QAccessible::Text kind = QAccessible::Name) {
    return Text(QAccessible::queryAccessibleInterface(control), kind);
}

// Accessibility on or off, as the platform turns it on when an assistive technology listens.
void SetActive(bool on) {
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(on);
}

// The window as an assistive technology sees it: accessibility is on for the test, and every
// event the window announces is kept.
class Accessibility : public test::FormTest {
protected:
    Accessibility() {
        events().clear();
        QAccessible::installUpdateHandler(&Keep);
        SetActive(true);
    }
    ~Accessibility() override {
        form.reset();
        SetActive(false);
        QAccessible::installUpdateHandler(nullptr);
    }

    struct TEvent {
        QAccessible::Event type;
        const QObject* object;
        int child;
    };
    static std::vector<TEvent>& events() {
        static std::vector<TEvent> kept;
        return kept;
    }
    static void Keep(QAccessibleEvent* event) {
        events().push_back({event->type(), event->object(), event->child()});
    }
    // How often each entry of the file list was announced with `type` since the events were
    // last cleared, once the window has caught up.
    std::map<int, int> Announced(QAccessible::Event type) {
        // The preview's recompute, then its announcement.
        QApplication::processEvents();
        QApplication::processEvents();
        std::map<int, int> counts;
        for (const TEvent& event : events())
            if (event.type == type && event.object == form->FileListBox1 && event.child >= 0)
                ++counts[event.child];
        return counts;
    }

    QAccessibleInterface* List() const {
        return QAccessible::queryAccessibleInterface(form->FileListBox1);
    }
    QAccessibleInterface* Entry(int row) const { return List()->child(row); }
};

TEST_F(Accessibility, ControlsAreNamedInTheCurrentLanguageAndTheWindowIsAFrame) {
    TForm1& f = Create();
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&f);
    EXPECT_EQ(window->role(), QAccessible::Window);
    auto names = [&] {
        return std::vector<std::string>{Text(window),
                                        NameOf(f.eFind),
                                        NameOf(f.eReplace),
                                        NameOf(f.eMask),
                                        NameOf(f.DriveComboBox1),
                                        NameOf(f.DirectoryListBox1),
                                        NameOf(f.FileListBox1),
                                        NameOf(f.Button1),
                                        NameOf(f.Button1, QAccessible::Description)};
    };
    EXPECT_EQ(names(), (std::vector<std::string>{
                           "Nomilo", "Find", "Replace with", "File mask", "Drive", "Folders",
                           "Files", "Swap find and replace texts", "Find -> <- Replace"}));
    f.Hrvatski1->trigger();
    EXPECT_EQ(names(), (std::vector<std::string>{"Velkaro", "Pronađi", "Zamijeni s",
                                                 "Maska datoteka", "Pogon", "Mape", "Datoteke",
                                                 "Zamijeni mjesta traženom i zamjenskom tekstu",
                                                 "pronađi -> <- zamijeni"}));
    f.Deutsch1Click();
    EXPECT_EQ(names(), (std::vector<std::string>{"Drostel", "Suchen nach", "Ersetzen durch",
                                                 "Dateimaske", "Laufwerk", "Ordner", "Dateien",
                                                 "Such- und Ersetzungstext tauschen",
                                                 "finden -> <- umtauschen"}));
    // The captions name the buttons and switches; the prefix switch's hint describes it.
    EXPECT_EQ(NameOf(f.Button2), "Umnennen");
    EXPECT_EQ(NameOf(f.CheckBox1, QAccessible::Description), "Add to the beginning");

    // The list tells which files Rename takes, as its colours do.
    EXPECT_EQ(NameOf(f.FileListBox1, QAccessible::Description),
              "Umbenannt werden nur die ausgewählten Dateien: 0 von 0");
    f.RenameSel->trigger();
    EXPECT_EQ(NameOf(f.FileListBox1, QAccessible::Description),
              "Umbenannt wird jede Datei der Liste: 0 von 0");
}

TEST_F(Accessibility, TheFileListExposesTheEntriesRenameTakesAndSelectsThroughTheTable) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        tmp.AddFile(std::string("files/") + name);
    TForm1& f = CreateShown();
    QAccessibleInterface* list = List();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    EXPECT_TRUE(list->state().multiSelectable);
    ASSERT_EQ(list->childCount(), 3);
    EXPECT_EQ(Text(Entry(1)), "b.txt");
    EXPECT_EQ(Entry(1)->role(), QAccessible::ListItem);
    EXPECT_EQ(Entry(1)->parent(), list);
    EXPECT_EQ(list->indexOfChild(Entry(2)), 2);
    auto selected = [&] {
        std::vector<bool> states;
        for (int row = 0; row < 3; ++row)
            states.push_back(Entry(row)->state().selected);
        return states;
    };

    // Selected-only mode (the first run's): only the selected entries are.
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(selected(), (std::vector<bool>(3, false)));
    events().clear();
    EXPECT_TRUE(table->selectRow(2));
    EXPECT_TRUE(f.FileListBox1->IsEntrySelected(2));
    EXPECT_EQ(selected(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(Announced(QAccessible::SelectionAdd), (std::map<int, int>{{2, 1}}));
    Entry(0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(table->selectedRows(), (QList<int>{0, 2}));
    EXPECT_TRUE(table->unselectRow(2));
    EXPECT_EQ(selected(), (std::vector<bool>{true, false, false}));
    events().clear();
    EXPECT_EQ(Announced(QAccessible::SelectionRemove), (std::map<int, int>{{2, 1}}));
    EXPECT_TRUE(Entry(0)->state().selectable);
    // The list and the Rename button say how many files Rename takes.
    auto taken = [&] {
        QApplication::processEvents();
        const std::string button = NameOf(f.Button2, QAccessible::Description);
        const std::string told = NameOf(f.FileListBox1, QAccessible::Description);
        return told == button ? told : told + " | " + button;
    };
    EXPECT_EQ(taken(), "Rename takes the selected files only: 1 of 3");

    // Selected-only mode off: every entry is drawn selected, and Rename takes them all.
    events().clear();
    f.RenameSel->trigger();
    EXPECT_EQ(selected(), (std::vector<bool>(3, true)));
    EXPECT_EQ(table->selectedRowCount(), 3);
    EXPECT_EQ(Announced(QAccessible::SelectionAdd), (std::map<int, int>{{1, 1}, {2, 1}}));
    EXPECT_EQ(taken(), "Rename takes every file of the list: 3 of 3");

    // A new read brings other entries: those asked for before are no more.
    events().clear();
    tmp.AddFile("files/d.txt");
    f.eMask->setText("d*");
    ASSERT_EQ(list->childCount(), 1);
    EXPECT_EQ(Text(Entry(0)), "d.txt");
    EXPECT_EQ(Entry(1), nullptr);
    EXPECT_EQ(taken(), "Rename takes every file of the list: 1 of 1");
}

TEST_F(Accessibility, EntriesOnScreenExposeThePreviewAndAnnounceItOncePerRecompute) {
    for (int i = 0; i < 300; ++i)
        tmp.AddFile("files/IMG_" + std::to_string(1000 + i) + ".jpg");
    tmp.AddFile("files/Trip_1001.jpg");
    TForm1& f = CreateShown();
    f.RenameSel->trigger(); // every entry
    f.ShowNewNames1->trigger();
    // An assistive technology knows an entry on screen, one below it and the one whose name
    // will be taken.
    for (int row : {0, 1, 250})
        ASSERT_NE(Entry(row), nullptr);
    events().clear();

    // Two keystrokes in one turn of the event loop: one recompute, one announcement.
    f.eFind->setText("IMG");
    f.eReplace->setText("Trip");
    QApplication::processEvents();
    EXPECT_EQ(Text(Entry(0)), "Trip_1000.jpg");
    EXPECT_EQ(Text(Entry(0), QAccessible::Description), "IMG_1000.jpg -> Trip_1000.jpg");
    EXPECT_EQ(Text(Entry(1)), "IMG_1001.jpg");
    EXPECT_EQ(Text(Entry(1), QAccessible::Description),
              "IMG_1001.jpg -> Trip_1001.jpg: the name is taken");
    EXPECT_EQ(Announced(QAccessible::NameChanged), (std::map<int, int>{{0, 1}}));
    EXPECT_EQ(Announced(QAccessible::DescriptionChanged), (std::map<int, int>{{0, 1}, {1, 1}}));

    // The reason follows the language; switching the preview off gives the names back.
    events().clear();
    f.Hrvatski1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(Text(Entry(1), QAccessible::Description),
              "IMG_1001.jpg -> Trip_1001.jpg: ime je zauzeto");
    f.ShowNewNames1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(Text(Entry(0)), "IMG_1000.jpg");
    EXPECT_EQ(Text(Entry(0), QAccessible::Description), "");
    EXPECT_EQ(Announced(QAccessible::NameChanged), (std::map<int, int>{{0, 1}}));
}

} // namespace
} // namespace nomilo
