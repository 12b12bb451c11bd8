// A keystroke in the main window with Show new names on, over a folder of many files: the key is
// sent to the find or replace field as the window system sends it (press and release through
// the application), and the time runs until the program is idle again: the field, the preview's
// recompute for every entry, the list's repaint, and whatever else the keystroke sets off. The
// preview's own recompute is timed apart, in the same run; last, the replace text takes fields
// whose facts are still being read meanwhile. Run it under an X server
// (QT_QPA_PLATFORM=xcb) for the figures a desktop sees; NOMILO_BENCH_ACCESSIBLE=1 also has an
// assistive technology listen in the process, which reads the name of whatever the program
// reports changed. For the real accessibility bus instead, run it in a D-Bus session of its own
// with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 (dbus-run-session -- xvfb-run ...).
//   nomilo_bench_keystroke [ROUNDS=5] [FILES=100000]

#include "bench/BenchFolder.h"
#include "browse/FileListBox.h"
#include "facts/ReaderProcess.h"
#include "ui/ErrorReport.h"
#include "ui/NewNamesPreview.h"
#include "ui/RuleSwitches.h"
#include "ui/Unit1.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace nomilo::bench {
namespace {

// What a screen reader does with each event: it asks for the changed object's name.
void ReadAloud(QAccessibleEvent* event) {
    if (QAccessibleInterface* changed = event->accessibleInterface())
        changed->text(QAccessible::Name);
}

struct Typing {
    const char* what;
    QLineEdit* field;
    std::vector<int> keys; // typed one after the other; the field starts empty each round
};

// Sends `key` to `field` and answers the seconds until the program is idle again.
double Keystroke(QLineEdit* field, int key) {
    return Seconds([&] {
        QTest::keyClick(field, static_cast<Qt::Key>(key));
        ProcessEventsUntilIdle();
    });
}

void TypeRounds(const Typing& typing, int rounds) {
    std::vector<double> seconds;
    for (int round = 0; round < rounds; ++round) {
        typing.field->setFocus();
        typing.field->clear();
        ProcessEventsUntilIdle();
        for (int key : typing.keys)
            seconds.push_back(Keystroke(typing.field, key));
    }
    std::printf("%-40s median %5.1f ms, slowest %5.1f ms (%zu keystrokes)\n", typing.what,
                Median(seconds) * 1e3, *std::max_element(seconds.begin(), seconds.end()) * 1e3,
                seconds.size());
    std::fflush(stdout);
}

// The preview's recompute alone, as the keystrokes above leave the window.
void RecomputeRounds(TForm1& window, int rounds) {
    std::vector<double> seconds;
    for (int round = 0; round < rounds * 4; ++round)
        seconds.push_back(Seconds([&] { window.NewNamesPreview().Update(); }));
    std::printf("%-40s median %5.1f ms, slowest %5.1f ms\n",
                "the preview's recompute alone:", Median(seconds) * 1e3,
                *std::max_element(seconds.begin(), seconds.end()) * 1e3);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo;
    using namespace nomilo::bench;
    // The window starts this program as its reader of files' data.
    if (argc == 2 && std::string(argv[1]) == kReadFactsArgument)
        return RunReaderProcess();
    // The window's settings and journal go to a folder of the benchmark's own.
    const std::string home = BenchRoot() + "/keystroke-home";
    std::filesystem::create_directories(home);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
    PreferOffscreen();
    const auto [rounds, sizes] = ParseBenchArguments(argc, argv, {100000});
    const BenchFolder folder(sizes.back());

    int qtArgc = 1;
    TNomiloApplication application(qtArgc, argv);
    const char* accessible = std::getenv("NOMILO_BENCH_ACCESSIBLE");
    if (accessible && *accessible == '1') {
        QAccessible::installUpdateHandler(ReadAloud);
        QAccessible::setActive(true);
    }
    TForm1 window(RegistryStore::Default(), folder.Path());
    window.show();
    if (!window.ShowNewNames1->isChecked())
        window.ShowNewNames1->trigger();
    if (window.RenameSel->isChecked())
        window.RenameSel->trigger(); // every listed entry is considered
    ProcessEventsUntilIdle();
    // A large folder's names are read on a thread of their own: the typing starts once they
    // are there.
    while (!window.NewNamesPreview().NamesRead())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ProcessEventsUntilIdle();
    if (window.FileListBox1->EntryCount() != sizes.back())
        throw std::runtime_error("the window did not list every file");
    std::printf("%d entries, every one considered, Show new names on, %s%s\n",
                window.FileListBox1->EntryCount(),
                QGuiApplication::platformName().toUtf8().constData(),
                accessible && *accessible == '1' ? ", an assistive technology listening" : "");

    const int p = folder.Prefix(), q = folder.OtherPrefix();
    // Letters as the keys that type them: Qt::Key_A and so on.
    const auto key = [](int c) { return c >= 'a' && c <= 'z' ? c - 'a' + Qt::Key_A : c; };
    TypeRounds({"typing a find text (every entry):",
                window.eFind,
                {key(p), Qt::Key_Underscore, Qt::Key_0, Qt::Key_Backspace}},
               rounds);
    TypeRounds({"typing a find text no name holds:",
                window.eFind,
                {Qt::Key_Z, Qt::Key_Z, Qt::Key_Backspace}},
               rounds);
    window.eFind->setText(QString(QChar(p)) + '_');
    TypeRounds({"typing a replace text (every entry):",
                window.eReplace,
                {key(q), Qt::Key_Underscore, Qt::Key_X, Qt::Key_Backspace}},
               rounds);
    RecomputeRounds(window, rounds);
    // With the find text a regular expression, whose groups the replace text puts in.
    const bool expressions = window.RuleSwitches1->RegularExpression1->isChecked();
    if (!expressions)
        window.RuleSwitches1->RegularExpression1->trigger();
    window.eFind->setText(QString(QChar(p)) + "_(\\d+)");
    TypeRounds({"typing an expression's replace text:",
                window.eReplace,
                {key(q), Qt::Key_Underscore, Qt::Key_Dollar, Qt::Key_1}},
               rounds);
    if (!expressions)
        // Off again, as the stored settings had it.
        window.RuleSwitches1->RegularExpression1->trigger();
    // With fields whose facts are still being read: each file goes to the reader process (no
    // file here is a photo), while the keys are typed.
    const bool fields = window.RuleSwitches1->Fields1->isChecked();
    if (!fields)
        window.RuleSwitches1->Fields1->trigger();
    window.eFind->setText(QString(QChar(p)) + '_');
    window.eReplace->setText("{taken}_{name}");
    TypeRounds({"typing while the files' data is read:",
                window.eReplace,
                {Qt::Key_Underscore, Qt::Key_X, Qt::Key_Backspace, Qt::Key_Backspace}},
               rounds);
    if (!fields)
        window.RuleSwitches1->Fields1->trigger();
    return 0;
}
