#include "platform/desktop/DesktopPublisher.h"
#include "platform/desktop/EDesktopPublishing.h"
#include "platform/desktop/internal/DesktopEntry.h"
#include "platform/desktop/internal/FolderEntryTexts.h"
#include "settings/StartFolder.h"
#include "tests/support/DesktopFile.h"
#include "tests/support/TempFolder.h"

#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <filesystem>
#include <glib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace nomilo {
namespace {

using namespace std::literals;
using Args = std::vector<std::string>;
using test::ExecArgument;
using Launch = std::vector<ExecArgument>;

TEST(SplitCommandLineTest, FollowsTheStoredCommandLineRules) {
    const std::pair<std::string, Args> cases[] = {
        // Empty quoted pairs and bytes 1 to 32 before an argument are skipped.
        {"  \"\" \"\"\t\x01prog \"\"", {"prog"}},
        // The backslash means nothing: a root keeps its backslash before the closing quote.
        {R"(prog "C:\" x\"y)", {"prog", "C:\\", "x\\y"}},
        // Quoted stretches and plain bytes join; a quote left open runs to the end.
        {R"(a"b c"d "e f)", {"ab cd", "e f"}},
        {"a\nb\x7f_c", {"a", "b\x7f_c"}},
        {"one\0two"s, {"one"}},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(SplitCommandLine(line), expected) << line;
}

// The arguments a launcher reads from the Exec value of a stored command.
std::optional<Launch> LaunchedArguments(const std::string& command) {
    const std::optional<std::string> value = DesktopExecValue(command);
    if (!value)
        return std::nullopt;
    return test::ExecArguments(*value).value_or(Launch{{"(bad Exec: " + *value + ")"}});
}

TEST(DesktopExecValueTest, QuotesTheProgramAndPassesTheFolderAsAFieldCode) {
    EXPECT_EQ(DesktopExecValue(R"("/usr/bin/nomilo" "%L")"), R"("/usr/bin/nomilo" %f)");
    const ExecArgument folder{"%f", true};
    EXPECT_EQ(LaunchedArguments(R"("/x/nomilo" "%1")"), (Launch{{"/x/nomilo"}, folder}));
    // Shell syntax in an argument stays text; only the first placeholder becomes the folder.
    EXPECT_EQ(LaunchedArguments(R"(/bin/tool "; rm -rf ~" %l "%L" 100%)"),
              (Launch{{"/bin/tool"}, {"; rm -rf ~"}, folder, {"%L"}, {"100%"}}));
    // Nothing to run, or text a desktop entry cannot carry.
    for (const std::string& command :
         {""s, "  \"\" "s, "%L"s, "\"/x/\xff/nomilo\" %L"s, "\"/x/a\x01/nomilo\" %L"s})
        EXPECT_EQ(DesktopExecValue(command), std::nullopt) << command;
}

// The arguments the POSIX shell makes of `line`, with $folder set to `folder`.
Args ShellArguments(const std::string& line, const std::string& folder) {
    setenv("NOMILO_LINE", line.c_str(), 1);
    setenv("folder", folder.c_str(), 1);
    FILE* pipe = popen(R"(/bin/sh -c 'eval "set -- $NOMILO_LINE"; printf "%s\0" "$@"')", "r");
    std::string output;
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    if (pipe)
        pclose(pipe);
    Args arguments;
    for (std::size_t at = 0, end; (end = output.find('\0', at)) != std::string::npos; at = end + 1)
        arguments.push_back(output.substr(at, end - at));
    return arguments;
}

// Thunar's reading of a custom action's command: "%" codes first, the folder put in as the
// shell quotes it, then the line split as the shell does.
Args ThunarArguments(const std::string& command, const std::string& folder) {
    std::string line;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] == '%' && i + 1 < command.size())
            line += command[++i] == 'f' ? "\"$folder\"" : std::string(1, command[i]);
        else
            line += command[i];
    }
    return ShellArguments(line, folder);
}

// KDE's reading of a quoted command: quoted text is taken as it stands, "%" included. Read here
// by the strict reader after doubling every "%" inside quotes.
std::optional<Launch> KdeArguments(const std::string& command) {
    bool quoted = false;
    std::string doubled;
    for (std::size_t i = 0; i < command.size(); ++i) {
        doubled += command[i];
        if (quoted && command[i] == '\\' && i + 1 < command.size())
            doubled += command[++i];
        else if (command[i] == '"')
            quoted = !quoted;
        else if (quoted && command[i] == '%')
            doubled += '%';
    }
    return test::ExecArguments(EscapeDesktopString(doubled));
}

TEST(DesktopExecValueTest, AnyProgramPathComesBackWholeFromEveryFormat) {
    // Paths made of the characters that matter to quoting, escaping and field codes.
    const std::vector<std::string> pieces = {
        "a", "Z", " ", "\"", "'", "$", "`", "\\", "%",  "%L", "%f", "&",  ";", "|",    "*",    "?",
        "#", "(", ")", "<",  ">", "~", "=", "\t", "\n", "\r", "é",  "文", "/", "\\\\", "$(id)"};
    const std::string folder = "/srv/a 'b' \"c\" $d %f \xff";
    std::mt19937 random(20240611u); // a fixed random start, so a failure repeats
    for (int round = 0; round < 150; ++round) {
        std::string path = "/";
        const int length = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            path += pieces[random() % pieces.size()];
        const std::string command = "\"" + path + "\" \"%L\"";
        EXPECT_EQ(LaunchedArguments(command), (Launch{{path}, {"%f", true}})) << path;
        EXPECT_EQ(KdeArguments(*QuotedCommand(command, "%f", PercentSigns::Literal)),
                  (Launch{{path}, {"%f", true}}))
            << path;
        EXPECT_EQ(ThunarArguments(*QuotedCommand(command, "%f"), folder), (Args{path, folder}))
            << path;
        // The scripts carry any byte but NUL: a path that is not UTF-8 too.
        const std::string bytes = path + "\xff\x01";
        EXPECT_EQ(ShellArguments(*ShellCommand("\"" + bytes + "\" \"%L\"", "\"$folder\""), folder),
                  (Args{bytes, folder}))
            << path;
    }
}

TEST(DesktopTextTest, LabelsAndFileNames) {
    EXPECT_EQ(StripAccelerator("No&milo"), "Nomilo");
    EXPECT_EQ(StripAccelerator("A&&B&"), "A&B");
    // Bytes that are not UTF-8, and control characters, never reach a Name.
    EXPECT_EQ(DesktopDisplayText("\xC3\xA9\xff\x01\xE0\x80"),
              "\xC3\xA9\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD");
    // The escape character is itself escaped, so no two verbs share a file.
    EXPECT_EQ(FileNamePart("Nomilo-2"), "Nomilo-2");
    EXPECT_EQ(FileNamePart("a b/c_.d"), "a_20b_2Fc_5F_2Ed");
}

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kOddProgram = R"(/opt/a b/"q"/$x\y/nomilo)";

class DesktopPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        tmp.AddFolder("etc");
        PublishFolderVerbsOnChange(store, places);
    }

    void SetText(const std::string& path, const std::string& text,
                 RegRoot root = HKEY_CLASSES_ROOT) {
        RegKey key;
        ASSERT_EQ(store.CreateKey(RegKey::Root(root), path, key), RegStatus::Ok);
        ASSERT_EQ(store.SetValue(key, "", REG_SZ, text + '\0'), RegStatus::Ok);
    }
    void SetCommand(const std::string& program, const std::string& verb = "Nomilo") {
        SetText("Folder\\shell\\" + verb + "\\Command", "\"" + program + "\" \"%L\"");
    }
    void Delete(const std::string& path) {
        ASSERT_EQ(store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), path), RegStatus::Ok);
    }
    // The entry files of the verb `verb`, captioned `caption`, below the temporary folder.
    static std::vector<std::string> EntryFiles(const std::string& verb, const std::string& caption) {
        const std::string file = "nomilo-folder-" + FileNamePart(verb);
        return {"data/kio/servicemenus/" + file + ".desktop",
                "data/file-manager/actions/" + file + ".desktop",
                "data/nemo/actions/" + file + ".nemo_action", "data/nautilus/scripts/" + caption,
                "config/caja/scripts/" + caption};
    }
    static std::string ThunarFile() { return "config/Thunar/uca.xml"; }
    // Every file and link below the data and configuration folders but the store's and the
    // lock's, with its mode and content or link target.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const char* top : {"data", "config"}) {
            if (!fs::exists(tmp / top))
                continue;
            for (const auto& entry : fs::recursive_directory_iterator(tmp / top)) {
                const std::string name = entry.path().lexically_relative(tmp.Path()).string();
                struct stat st {};
                lstat(entry.path().c_str(), &st);
                if (entry.is_symlink())
                    files[name] = "link to " + fs::read_symlink(entry.path()).string();
                else if (entry.is_regular_file())
                    files[name] = std::to_string(st.st_mode & 07777) + ":" + tmp.Read(name);
            }
        }
        return files;
    }

    test::TempFolder tmp;
    RegistryStore store{tmp / "registry.reg"};
    DesktopPlaces places{tmp / "data", tmp / "config", {tmp / "etc"}};
};

// The value of `key` in the text of an entry file.
std::string Value(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos)
        return "(none)";
    const std::size_t from = at + key.size() + 2;
    return text.substr(from, text.find('\n', from) - from);
}

TEST_F(DesktopPublisherTest, PublishesEveryFileManagersEntryAndFollowsTheVerb) {
    SetCommand(kOddProgram);
    SetText("Folder\\shell\\Nomilo", "No&milo");
    const Launch launch = {{kOddProgram}, {"%f", true}};
    for (const std::string& file : EntryFiles("Nomilo", "Nomilo"))
        EXPECT_TRUE(fs::is_regular_file(tmp / file)) << file;
    const std::string menu = tmp.Read(EntryFiles("Nomilo", "")[0]);
    EXPECT_EQ(Value(menu, "Name"), "Nomilo");               // KDE shows no accelerator
    EXPECT_THAT(menu, HasSubstr("\n[Desktop Action open]\nName=Nomilo\n"));
    const std::string command = "\"" + std::string(kOddProgram) + "\" \"%L\"";
    EXPECT_EQ(Value(menu, "Exec"), DesktopExecValue(command, "%f", PercentSigns::Literal));
    const std::string action = tmp.Read(EntryFiles("Nomilo", "")[1]);
    EXPECT_EQ(Value(action, "Name"), "Nomilo");
    EXPECT_EQ(Value(action, "MimeTypes"), "inode/directory;");
    EXPECT_EQ(test::ExecArguments(Value(action, "Exec")), launch);
    EXPECT_THAT(Value(action, "ShowIfTrue"), HasSubstr("caja")); // Caja has the script
    const std::string nemo = tmp.Read(EntryFiles("Nomilo", "")[2]);
    EXPECT_EQ(Value(nemo, "Extensions"), "dir;");
    // Nemo cuts a path at a line feed: the program gets the URI.
    EXPECT_EQ(test::ExecArguments(Value(nemo, "Exec")), (Launch{{kOddProgram}, {"%U", true}}));
    EXPECT_EQ(fs::status(tmp / EntryFiles("Nomilo", "Nomilo")[3]).permissions(), fs::perms(0755));
    EXPECT_THAT(tmp.Read(ThunarFile()),
                HasSubstr("<name>Nomilo</name>\n\t<submenu></submenu>\n"
                          "\t<unique-id>nomilo-folder-Nomilo</unique-id>\n"));

    // A new label renames the scripts and recaptions every entry; "&&" shows one "&", and a
    // verb without a label shows its name.
    SetText("Folder\\shell\\Nomilo", "Vel&karo && Co");
    EXPECT_FALSE(fs::exists(tmp / EntryFiles("Nomilo", "Nomilo")[3]));
    for (const std::string& file : EntryFiles("Nomilo", "Velkaro & Co"))
        EXPECT_TRUE(fs::exists(tmp / file)) << file;
    EXPECT_EQ(Value(tmp.Read(EntryFiles("Nomilo", "")[2]), "Name"), "Velkaro & Co");
    EXPECT_THAT(tmp.Read(ThunarFile()), HasSubstr("<name>Velkaro &amp; Co</name>"));
    SetText("Folder\\shell\\100%/x\\Command", "tool %1");
    const std::string other = tmp.Read(EntryFiles("100%/x", "")[2]);
    EXPECT_EQ(Value(other, "Name"), "100%%/x"); // Nemo's tokens
    // Another program's verb gets paths, and no entries for files.
    EXPECT_EQ(test::ExecArguments(Value(other, "Exec")), (Launch{{"tool"}, {"%F", true}}));
    EXPECT_TRUE(fs::exists(tmp / "config/caja/scripts/100%_x"));
    EXPECT_FALSE(fs::exists(tmp / "data/nemo/actions/nomilo-files-100_25_2Fx.nemo_action"));

    // A verb with an empty command, or none, has no entries; the other verb keeps its own.
    EXPECT_EQ(Snapshot().size(), 14u); // the program's verb has entries for files too
    SetText("Folder\\shell\\Nomilo\\Command", "");
    Delete("Folder\\shell\\100%/x\\Command");
    EXPECT_EQ(Snapshot().size(), 1u); // uca.xml, which stays
    EXPECT_THAT(tmp.Read(ThunarFile()), Not(HasSubstr("nomilo-folder-")));
}

// A change of one verb brings that verb's entries in line and puts back an entry of another
// that is missing, but takes the other verb's entries that are there as the last publishing
// left them. Where two verbs shared a caption, the change that parts them gives the other
// verb's scripts the plain name back.
TEST_F(DesktopPublisherTest, AChangeOfOneVerbLooksAtItsOwnEntriesAndAtTheNamesItMoves) {
    SetCommand("/usr/bin/first", "A");
    SetText("Folder\\shell\\A", "Same");
    SetCommand("/usr/bin/second", "B");
    SetText("Folder\\shell\\B", "Same");
    const std::string scripts = "data/nautilus/scripts/";
    EXPECT_THAT(tmp.Read(scripts + "Same"), HasSubstr("/usr/bin/first"));
    EXPECT_THAT(tmp.Read(scripts + "Same (2)"), HasSubstr("/usr/bin/second"));
    const std::vector<std::string> entriesOfB = EntryFiles("B", "Same");
    const std::string edited = tmp.Read(entriesOfB[2]) + "Comment=mine\n";
    tmp.AddFile(entriesOfB[2], edited);
    fs::remove(tmp / entriesOfB[0]);

    SetText("Folder\\shell\\A", "Other");
    EXPECT_THAT(tmp.Read(scripts + "Other"), HasSubstr("/usr/bin/first"));
    EXPECT_THAT(tmp.Read(scripts + "Same"), HasSubstr("/usr/bin/second"));
    EXPECT_FALSE(fs::exists(tmp / (scripts + "Same (2)")));
    EXPECT_THAT(tmp.Read("config/caja/scripts/Same"), HasSubstr("/usr/bin/second"));
    EXPECT_TRUE(fs::exists(tmp / entriesOfB[0]));
    EXPECT_EQ(tmp.Read(entriesOfB[2]), edited);

    // The whole publishing looks at everything.
    EXPECT_EQ(DesktopPublisher(places).Publish(store), std::vector<std::string>{});
    EXPECT_THAT(tmp.Read(entriesOfB[2]), Not(HasSubstr("Comment=mine")));
}

// Entries published by an earlier version, whose texts this version mends, are written anew
// once; after that a start leaves the entries as they are.
TEST_F(DesktopPublisherTest, EntriesOfAnEarlierVersionAreWrittenAnewOnce) {
    SetCommand("/usr/bin/nomilo");
    const std::string nemo = EntryFiles("Nomilo", "")[2];
    const std::string current = tmp.Read(nemo);
    std::string earlier = current;
    earlier.erase(earlier.find("Quote=double\n"), std::size("Quote=double\n") - 1);
    tmp.AddFile(nemo, earlier);

    DesktopPublisher publisher(places);
    EXPECT_EQ(publisher.PublishIfEarlierVersion(store), std::vector<std::string>{});
    EXPECT_EQ(tmp.Read(nemo), current);
    tmp.AddFile(nemo, earlier);
    EXPECT_EQ(publisher.PublishIfEarlierVersion(store), std::vector<std::string>{});
    EXPECT_EQ(tmp.Read(nemo), earlier);
}

TEST_F(DesktopPublisherTest, TouchesNothingButItsOwnFiles) {
    const std::string marker = "[Desktop Entry]\nType=Application\nX-Nomilo-Generated=true\n";
    const std::vector<std::string> files = EntryFiles("Nomilo", "Nomilo");
    for (const char* folder : {"data/applications", "data/kio/servicemenus", "data/nemo/actions",
                               "data/nautilus/scripts", "config/caja/scripts"})
        tmp.AddFolder(folder);
    tmp.AddFile("data/applications/mimeapps.list", "[Default Applications]\n");
    tmp.AddFile("data/applications/other.desktop", marker);
    tmp.AddFile("data/applications/nomilo-folder-Old.desktop", "[Desktop Entry]\n");
    // The user's own files by the very names of the verb's entries: not ours, never replaced.
    tmp.AddFile(files[2], "[Nemo Action]\nName=Mine\n");
    tmp.AddFile(files[3], "#!/bin/sh\necho mine\n");
    tmp.AddFile("data/kio/servicemenus/nomilo-folder-Stale.desktop", marker);
    tmp.AddFile("config/caja/scripts/Stale", "#!/bin/sh\n# X-Nomilo-Generated=true\n");
    tmp.AddFile("elsewhere.desktop", marker);
    fs::create_symlink(tmp / "elsewhere.desktop", tmp / files[0]);
    auto expected = Snapshot();

    SetCommand("/usr/bin/nomilo");
    const std::vector<std::string> failures = DesktopPublisher(places).Publish(store);
    EXPECT_EQ(failures, (std::vector<std::string>{
                            "Dolphin: " + (tmp / files[0]) + " is not Nomilo's and was left as it is",
                            "Nemo: " + (tmp / files[2]) + " is not Nomilo's and was left as it is",
                            "Nautilus scripts: " + (tmp / files[3]) +
                                " is not Nomilo's and was left as it is"}));
    expected.erase("data/kio/servicemenus/nomilo-folder-Stale.desktop");
    expected.erase("config/caja/scripts/Stale");
    auto now = Snapshot();
    for (const std::string& written :
         {files[1], files[4], std::string("config/Thunar/uca.xml"),
          std::string("data/kio/servicemenus/nomilo-files-Nomilo.desktop"),
          std::string("data/file-manager/actions/nomilo-files-Nomilo.desktop"),
          std::string("data/nemo/actions/nomilo-files-Nomilo.nemo_action")})
        EXPECT_EQ(now.erase(written), 1u) << written;
    EXPECT_EQ(now, expected);

    Delete("Folder\\shell\\Nomilo\\Command");
    now = Snapshot();
    EXPECT_EQ(now.erase("config/Thunar/uca.xml"), 1u);
    EXPECT_EQ(now, expected);
    EXPECT_EQ(tmp.Read("elsewhere.desktop"), marker);
}

TEST_F(DesktopPublisherTest, TakesAwayTheOpenWithEntriesOfEarlierVersions) {
    const std::string old = "[Desktop Entry]\nType=Application\nMimeType=inode/directory;\n"
                            "X-Nomilo-Generated=true\n";
    tmp.AddFolder("data/applications");
    tmp.AddFile("data/applications/nomilo-folder-Nomilo.desktop", old);
    tmp.AddFile("data/applications/nomilo-folder-Mine.desktop", "[Desktop Entry]\n");
    tmp.AddFile("data/applications/nomilo.desktop", old); // not a folder verb's name
    // The cache the desktop tools read: the names of entries that are gone go with them.
    tmp.AddFile("data/applications/mimeinfo.cache",
                "[MIME Cache]\ninode/directory=a.desktop;nomilo-folder-Nomilo.desktop;"
                "nomilo-folder-Mine.desktop;\nx/y=nomilo-folder-Nomilo.desktop;\nz/z=b;");
    SetCommand("/usr/bin/nomilo");
    EXPECT_FALSE(fs::exists(tmp / "data/applications/nomilo-folder-Nomilo.desktop"));
    EXPECT_TRUE(fs::exists(tmp / "data/applications/nomilo-folder-Mine.desktop"));
    EXPECT_TRUE(fs::exists(tmp / "data/applications/nomilo.desktop"));
    EXPECT_EQ(tmp.Read("data/applications/mimeinfo.cache"),
              "[MIME Cache]\ninode/directory=a.desktop;nomilo-folder-Mine.desktop;\nz/z=b;");
}

// What `command` prints, standard error included; "(failed silently)" for a failure that says
// nothing.
std::string Output(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        if (pclose(pipe) != 0 && output.empty())
            output = "(failed silently)";
    }
    return output;
}

TEST_F(DesktopPublisherTest, NoDesktopToolTakesTheProgramForTheFolderOpener) {
    for (const char* tool : {NOMILO_GIO, NOMILO_XDG_MIME, NOMILO_UPDATE_DESKTOP_DATABASE})
        if (std::string(tool).empty())
            GTEST_SKIP() << "gio, xdg-mime or update-desktop-database is not installed";
    // An earlier version's entry, in the cache that update-desktop-database makes.
    tmp.AddFolder("data/applications");
    tmp.AddFile("data/applications/nomilo-folder-Nomilo.desktop",
                "[Desktop Entry]\nType=Application\nName=Nomilo\nExec=/bin/true %f\n"
                "MimeType=inode/directory;\nNoDisplay=true\nX-Nomilo-Generated=true\n");
    tmp.AddFolder("config");
    const std::string environment = "env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION HOME='" +
                                    tmp.Path() + "' XDG_DATA_HOME='" + (tmp / "data") +
                                    "' XDG_CONFIG_HOME='" + (tmp / "config") +
                                    "' XDG_DATA_DIRS='" + (tmp / "etc") + "' XDG_CONFIG_DIRS='" +
                                    (tmp / "etc") + "' ";
    Output(environment + NOMILO_UPDATE_DESKTOP_DATABASE + " '" + (tmp / "data/applications") + "'");
    const auto opener = [&] {
        return Output(environment + NOMILO_XDG_MIME + " query default inode/directory") +
               Output(environment + NOMILO_GIO + " mime inode/directory");
    };
    ASSERT_THAT(opener(), HasSubstr("nomilo-folder-Nomilo.desktop")); // what it was

    SetCommand(kOddProgram);
    SetText("Folder\\shell\\Nomilo", "No&milo");
    EXPECT_THAT(opener(), Not(HasSubstr("nomilo")));
}

TEST_F(DesktopPublisherTest, OnlyFolderVerbChangesPublishAndAnUnreadableStoreDeletesNothing) {
    SetText("Folder\\shell\\Nomilo\\Command", "x %1", HKEY_CURRENT_USER);
    SetText("Directory\\shell\\Nomilo\\Command", "x %1");
    SetText("Folder\\shellex\\Nomilo\\Command", "x %1");
    EXPECT_FALSE(fs::exists(tmp / "data")); // nothing to publish makes no folder
    EXPECT_FALSE(fs::exists(tmp / "config/Thunar"));

    SetText("FOLDER\\Shell\\Nomilo\\Command", "x %1");
    const auto published = Snapshot();
    ASSERT_EQ(published.size(), 9u); // the program's verb: its entries for files too
    fs::rename(tmp / "registry.reg", tmp / "saved.reg");
    tmp.AddFolder("registry.reg");
    EXPECT_EQ(DesktopPublisher(places).Publish(store),
              std::vector<std::string>{"the folder verbs could not be read from " + store.Path()});
    EXPECT_EQ(Snapshot(), published);
}

TEST_F(DesktopPublisherTest, APathThatIsNotUtf8GoesToTheScriptsAndTheRestIsReported) {
    const std::string program = "/opt/b\xe9t\xe9/nomilo";
    try {
        RaisingPublishingFailures([&] { SetCommand(program); });
        ADD_FAILURE() << "nothing reported";
    } catch (const EDesktopPublishing& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The folder entry could not be published everywhere:\n"
                  "Dolphin, file-manager actions (PCManFM, PCManFM-Qt, Caja), Nemo, Thunar: the "
                  "command of the verb \"Nomilo\" (\"/opt/b\xEF\xBF\xBDt\xEF\xBF\xBD/nomilo\" "
                  "\"%L\") is not UTF-8 text, which their entries cannot hold");
    }
    const auto files = Snapshot();
    EXPECT_EQ(files.size(), 2u);
    EXPECT_THAT(files.at("data/nautilus/scripts/Nomilo"), HasSubstr("exec '" + program + "' "));
    EXPECT_THAT(files.at("config/caja/scripts/Nomilo"), HasSubstr("exec '" + program + "' "));
    // A change that publishes everything reports nothing, also after a failure.
    RaisingPublishingFailures([&] { SetCommand("/usr/bin/nomilo"); });
}

// Names that quoting, escaping, field codes, options and text encodings could each mangle.
const std::vector<std::string> kAwkwardNames = {
    "a b.jpg", "q'\"u.jpg", "$HOME.jpg", "back\\slash.jpg", "100%.jpg", "-x.jpg",
    "new\nline.jpg", "\xff.jpg"};

// A local path as the GLib-based file managers put it in a URI.
std::string FileUri(const std::string& path) {
    static constexpr std::string_view kKept = "-._~!$&'()*+,;=:@/";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            kKept.find(c) != std::string_view::npos)
            uri += c;
        else
            uri += {'%', kHex[b >> 4], kHex[b & 15]};
    }
    return uri;
}

// A launch with the field code `code` standing for `items`, one argument each.
Args Expanded(const std::optional<Launch>& launch, const std::string& code, const Args& items) {
    Args arguments;
    for (const ExecArgument& argument : launch.value_or(Launch{{"(unreadable)"}})) {
        if (argument.fieldCode && argument.text == code)
            arguments.insert(arguments.end(), items.begin(), items.end());
        else
            arguments.push_back(argument.text);
    }
    return arguments;
}

// What the program takes from `arguments` (its own path first): the selection's paths.
Args SelectedByProgram(const Args& arguments) {
    const TCommandLine commandLine = ReadCommandLine(arguments);
    EXPECT_TRUE(commandLine.selection);
    return commandLine.paths;
}

// An argument in the shell's single quotes, as GLib's g_shell_quote writes it.
std::string SingleQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The text of an XML element's content, for the little our entries escape.
std::string XmlContent(const std::string& xml, const std::string& element) {
    const std::size_t from = xml.find("<" + element + ">") + element.size() + 2;
    std::string text = xml.substr(from, xml.find("</" + element + ">") - from);
    for (const auto& [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), c);
    return text;
}

// Nemo (5.6, tried by hand) running the action `action` (the text of a .nemo_action file) on
// the selected `paths`: it reads the Exec value as a key file reads it, puts in for %U the
// paths' URIs (GLib's, which keep "'" and "$"), for %F the paths and for "%%" a "%", the items
// separated by spaces, and splits the line as GLib's shell parser splits it. With Quote=double
// each item goes in double quotes, its '"', '\', '$' and '`' escaped; without it a URI goes in
// as it stands, and a path in an escaping of Nemo's own that loses a line feed (std::nullopt
// here, as is a line the parser refuses).
std::optional<Args> NemoArguments(const std::string& action, const Args& paths) {
    GKeyFile* file = g_key_file_new();
    gchar* exec = nullptr;
    gchar* quote = nullptr;
    if (g_key_file_load_from_data(file, action.data(), action.size(), G_KEY_FILE_NONE, nullptr)) {
        exec = g_key_file_get_string(file, "Nemo Action", "Exec", nullptr);
        quote = g_key_file_get_string(file, "Nemo Action", "Quote", nullptr);
    }
    const bool doubleQuotes = quote && std::string_view(quote) == "double";
    const std::string value = exec ? exec : "";
    g_free(quote);
    g_free(exec);
    g_key_file_free(file);
    const auto item = [&](const std::string& text) {
        if (!doubleQuotes)
            return text;
        std::string quoted = "\"";
        for (const char c : text)
            quoted += std::string_view("\"\\$`").find(c) != std::string_view::npos
                          ? std::string{'\\', c}
                          : std::string(1, c);
        return quoted + "\"";
    };
    std::string line;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char code = value[i] == '%' && i + 1 < value.size() ? value[++i] : 0;
        if (code == 0) {
            line += value[i];
        } else if (code == 'U' || code == 'F') {
            if (code == 'F' && !doubleQuotes)
                return std::nullopt;
            for (std::size_t p = 0; p < paths.size(); ++p) {
                gchar* uri = g_filename_to_uri(paths[p].c_str(), nullptr, nullptr);
                line += (p ? " " : "") + item(code == 'U' && uri ? uri : paths[p]);
                g_free(uri);
            }
        } else {
            line += code == '%' ? "%" : "(" + std::string(1, code) + ")";
        }
    }
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(line.c_str(), nullptr, &argv, nullptr))
        return std::nullopt;
    Args arguments(argv, argv + g_strv_length(argv));
    g_strfreev(argv);
    return arguments;
}

// Nemo splits the line it makes: each name must come out whole, in either verb, for the
// program's own verb (URIs) and for another program's (paths).
TEST_F(DesktopPublisherTest, NemoHandsEveryNameOverWholeThoughItSplitsTheLineAsTheShellWould) {
    SetCommand(kOddProgram);
    SetCommand(kOddProgram, "Other");
    const std::string actions = "data/nemo/actions/";
    const std::string files = tmp.Read(actions + "nomilo-files-Nomilo.nemo_action");
    const std::string folder = tmp.Read(actions + "nomilo-folder-Nomilo.nemo_action");
    const std::string other = tmp.Read(actions + "nomilo-folder-Other.nemo_action");
    const Args names = {"it's.jpg", "a 'z'", "q\"u.jpg", "a b.jpg", "back\\slash.jpg",
                        "new\nline.jpg", "$HOME.jpg", "`id`.jpg", "100%.jpg", "-x.jpg",
                        "caf\xC3\xA9.jpg", "\xff.jpg"};
    Args all;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = tmp / ("sel dir/" + name);
        all.push_back(path);
        const std::optional<Args> selected = NemoArguments(files, {path});
        ASSERT_TRUE(selected);
        EXPECT_EQ(selected->front(), kOddProgram);
        EXPECT_EQ(SelectedByProgram(*selected), Args{path});
        const std::optional<Args> opened = NemoArguments(folder, {path});
        ASSERT_TRUE(opened);
        EXPECT_EQ(ReadCommandLine(*opened).StartFolder(), path);
        EXPECT_EQ(NemoArguments(other, {path}), (Args{kOddProgram, path}));
    }
    const std::optional<Args> selected = NemoArguments(files, all);
    ASSERT_TRUE(selected);
    EXPECT_EQ(SelectedByProgram(*selected), all);
}

TEST_F(DesktopPublisherTest, EveryEntryForFilesHandsTheSelectionToTheProgramByteForByte) {
    SetCommand(kOddProgram);
    tmp.AddFolder("sel dir");
    Args paths;
    for (const std::string& name : kAwkwardNames)
        paths.push_back(tmp / ("sel dir/" + name));
    const std::string files = "nomilo-files-Nomilo";

    // Dolphin puts in the local paths, reading the quoted program as it stands.
    const std::string menu = tmp.Read("data/kio/servicemenus/" + files + ".desktop");
    EXPECT_EQ(Value(menu, "MimeType"), "all/allfiles;");
    EXPECT_EQ(Value(menu, "X-KDE-RequiredNumberOfUrls"), "(none)");
    const std::string command = "\"" + std::string(kOddProgram) + "\" \"%L\"";
    const Args dolphin =
        Expanded(KdeArguments(*QuotedCommand(command, "--select %F", PercentSigns::Literal)),
                 "%F", paths);
    EXPECT_EQ(dolphin.front(), kOddProgram);
    EXPECT_EQ(SelectedByProgram(dolphin), paths);
    // PCManFM, PCManFM-Qt and Caja's actions put in the paths; Nemo the URIs.
    const std::string action = tmp.Read("data/file-manager/actions/" + files + ".desktop");
    EXPECT_EQ(Value(action, "MimeTypes"), "all/allfiles;");
    EXPECT_EQ(SelectedByProgram(Expanded(test::ExecArguments(Value(action, "Exec")), "%F", paths)),
              paths);
    const std::string nemo = tmp.Read("data/nemo/actions/" + files + ".nemo_action");
    EXPECT_EQ(Value(nemo, "Extensions"), "nodirs;");
    EXPECT_EQ(SelectedByProgram(NemoArguments(nemo, paths).value_or(Args{"(refused)"})), paths);
    // Thunar puts each path in as the shell quotes it, then runs the line through the shell.
    const std::string uca = tmp.Read(ThunarFile());
    const std::string thunar = uca.substr(uca.find("<action>", uca.find(files) - 200));
    EXPECT_THAT(thunar.substr(0, thunar.find("</action>")), HasSubstr("<other-files/>"));
    EXPECT_THAT(thunar.substr(0, thunar.find("</action>")), Not(HasSubstr("<directories/>")));
    std::string line = XmlContent(thunar, "command");
    std::string quoted;
    for (const std::string& path : paths)
        quoted += " " + SingleQuoted(path);
    line.replace(line.find("%F"), 2, quoted.substr(1));
    EXPECT_EQ(SelectedByProgram(ShellArguments(line, "")), paths);
}

// What a file manager whose process is named `manager` makes of the ShowIfTrue condition of a
// file-manager action (the text `action`), as caja-actions does: the value read as a key file
// reads it, split as GLib's shell parser splits it, run as the file manager's child (here a
// shell by that name), and its output taken as it stands.
std::string ShowIfTrueOutput(const std::string& action, const std::string& manager) {
    GKeyFile* file = g_key_file_new();
    gchar* value = nullptr;
    if (g_key_file_load_from_data(file, action.data(), action.size(), G_KEY_FILE_NONE, nullptr))
        value = g_key_file_get_string(file, "Desktop Entry", "ShowIfTrue", nullptr);
    g_key_file_free(file);
    gchar** condition = nullptr;
    const bool parsed = value && g_shell_parse_argv(value, nullptr, &condition, nullptr);
    g_free(value);
    if (!parsed)
        return "(no condition)";
    test::TempFolder bin;
    fs::create_symlink("/bin/sh", bin / manager);
    const std::string shell = bin / manager;
    // ("; :" keeps the shell from replacing itself with the command.)
    std::vector<const char*> argv = {shell.c_str(), "-c", "\"$@\"; :", manager.c_str()};
    for (gchar** word = condition; *word; ++word)
        argv.push_back(*word);
    argv.push_back(nullptr);
    gchar* out = nullptr;
    g_spawn_sync(nullptr, const_cast<gchar**>(argv.data()), nullptr, G_SPAWN_DEFAULT, nullptr,
                 nullptr, &out, nullptr, nullptr, nullptr);
    g_strfreev(condition);
    std::string output = out ? out : "(did not run)";
    g_free(out);
    return output;
}

// Caja has the verb in its Scripts menu, with or without caja-actions: the actions, which
// PCManFM needs, are left out there, in MATE or not, and only there.
TEST_F(DesktopPublisherTest, CajaShowsTheVerbOnceAndTheOtherFileManagersTheirActions) {
    SetCommand(kOddProgram);
    SetText("Folder\\shell\\Nomilo", "Nomilo");
    EXPECT_TRUE(fs::exists(tmp / "config/caja/scripts/Nomilo"));
    for (const char* file : {"nomilo-folder-Nomilo", "nomilo-files-Nomilo"}) {
        SCOPED_TRACE(file);
        const std::string action = tmp.Read("data/file-manager/actions/"s + file + ".desktop");
        EXPECT_EQ(ShowIfTrueOutput(action, "caja"), "false");
        EXPECT_EQ(ShowIfTrueOutput(action, "pcmanfm"), "true");
        EXPECT_EQ(ShowIfTrueOutput(action, "pcmanfm-qt"), "true");
        EXPECT_EQ(Value(action, "NotShowIn"), "(none)");
        EXPECT_EQ(Value(action, "OnlyShowIn"), "(none)");
    }
}

// The scripts run for real: a selection that is not one folder reaches the program as URIs, one
// folder or none as the folder, as before.
TEST_F(DesktopPublisherTest, TheScriptsHandTheSelectionOrTheFolderToTheProgram) {
    tmp.AddFolder("st'ub dir");
    const std::string program = tmp / "st'ub dir/program";
    tmp.AddFile("st'ub dir/program",
                "#!/bin/sh\nprintf '%s\\0' \"$0\" \"$@\" > \"$(dirname \"$0\")/arguments\"\n");
    fs::permissions(program, fs::perms(0755));
    SetCommand(program);
    tmp.AddFolder("sel dir/sub");
    Args paths, uris;
    for (const std::string& name : kAwkwardNames) {
        paths.push_back(tmp / ("sel dir/" + name));
        uris.push_back(FileUri(paths.back()));
        tmp.AddFile("sel dir/" + name);
    }
    const auto run = [&](const std::string& script, const std::string& variable,
                         const Args& selected) {
        std::string list;
        for (const std::string& uri : selected)
            list += uri + "\n";
        const std::string shell =
            "cd '" + (tmp / "sel dir") + "' && env -u NAUTILUS_SCRIPT_SELECTED_URIS -u " +
            "CAJA_SCRIPT_SELECTED_URIS " + variable + "=\"$NOMILO_LIST\" sh '" + (tmp / script) +
            "' 2>&1";
        setenv("NOMILO_LIST", list.c_str(), 1);
        fs::remove(tmp / "st'ub dir/arguments");
        EXPECT_EQ(Output(shell), "");
        std::ifstream in(tmp / "st'ub dir/arguments", std::ios::binary);
        const std::string output((std::istreambuf_iterator<char>(in)), {});
        Args arguments;
        for (std::size_t at = 0, end; (end = output.find('\0', at)) != std::string::npos;
             at = end + 1)
            arguments.push_back(output.substr(at, end - at));
        return arguments;
    };
    const std::string nautilus = "data/nautilus/scripts/Nomilo";
    const std::string caja = "config/caja/scripts/Nomilo";
    const Args launched = run(nautilus, "NAUTILUS_SCRIPT_SELECTED_URIS", uris);
    ASSERT_FALSE(launched.empty());
    EXPECT_EQ(launched.front(), program);
    EXPECT_EQ(SelectedByProgram(launched), paths);
    EXPECT_EQ(SelectedByProgram(run(caja, "CAJA_SCRIPT_SELECTED_URIS", {uris[6]})), Args{paths[6]});
    const std::string sub = tmp / "sel dir/sub";
    EXPECT_EQ(run(caja, "CAJA_SCRIPT_SELECTED_URIS", {FileUri(sub)}), (Args{program, sub}));
    EXPECT_EQ(run(nautilus, "NAUTILUS_SCRIPT_SELECTED_URIS", {}), (Args{program, tmp / "sel dir"}));
}

TEST(DesktopPlacesTest, ComeFromTheEnvironment) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const std::map<std::string, std::string> saved = [] {
        std::map<std::string, std::string> values;
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            values[name] = std::getenv(name) ? std::getenv(name) : "";
        return values;
    }();
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored
    setenv("XDG_CONFIG_DIRS", "/a:b::/c/", 1);
    DesktopPlaces places = DesktopPlaces::FromEnvironment();
    EXPECT_EQ(places.dataHome, "/srv/data");
    EXPECT_EQ(places.configHome, home + "/.config");
    EXPECT_EQ(places.configDirs, (std::vector<std::string>{"/a", "/c/"}));
    unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(DesktopPlaces::FromEnvironment().configDirs, std::vector<std::string>{"/etc/xdg"});
    for (const auto& [name, value] : saved)
        if (!value.empty())
            setenv(name.c_str(), value.c_str(), 1);
}

TEST_F(DesktopPublisherTest, DesktopFileValidateAcceptsTheEntries) {
    if (std::string(NOMILO_DESKTOP_FILE_VALIDATE).empty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const auto validate = [](const std::string& path) {
        return Output(std::string(NOMILO_DESKTOP_FILE_VALIDATE) + " '" + path + "'");
    };
    for (const char* program : {"/usr/bin/nomilo", kOddProgram}) {
        SetCommand(program);
        SetText("Folder\\shell\\Nomilo", "No&milo");
        // A KDE service menu needs MimeType and Actions, which the validator allows only in
        // applications: its only complaints. The same file as an application passes whole.
        std::istringstream report(validate(tmp / EntryFiles("Nomilo", "")[0]));
        std::vector<std::string> complaints;
        for (std::string line; std::getline(report, line);) {
            const std::size_t key = line.find(": error: key ");
            const bool forService = line.find("the type is \"Service\"") != std::string::npos;
            complaints.push_back(key == std::string::npos || !forService
                                     ? line
                                     : line.substr(key + 13, line.find(' ', key + 13) - key - 13));
        }
        EXPECT_EQ(complaints, (std::vector<std::string>{"\"MimeType\"", "\"Actions\""})) << program;
        std::string asApplication = tmp.Read(EntryFiles("Nomilo", "")[0]);
        asApplication.replace(asApplication.find("Type=Service"), 12, "Type=Application");
        tmp.AddFile("as-application.desktop", asApplication);
        EXPECT_EQ(validate(tmp / "as-application.desktop"), "") << program;
    }
}

} // namespace
} // namespace nomilo
