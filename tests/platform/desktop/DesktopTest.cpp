#include "platform/desktop/DesktopPublisher.h"
#include "platform/desktop/internal/DesktopEntry.h"
#include "tests/support/DesktopFile.h"
#include "tests/support/TempFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

TEST(DesktopExecValueTest, AnyProgramPathComesBackWhole) {
    // Paths made of the characters that matter to quoting, escaping and field codes.
    const std::vector<std::string> pieces = {
        "a", "Z", " ", "\"", "'", "$", "`", "\\", "%",  "%L", "%f", "&",  ";", "|",    "*",    "?",
        "#", "(", ")", "<",  ">", "~", "=", "\t", "\n", "\r", "é",  "文", "/", "\\\\", "$(id)"};
    std::mt19937 random(20240611u); // a fixed random start, so a failure repeats
    for (int round = 0; round < 500; ++round) {
        std::string path = "/";
        const int length = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            path += pieces[random() % pieces.size()];
        EXPECT_EQ(LaunchedArguments("\"" + path + "\" \"%L\""), (Launch{{path}, {"%f", true}}))
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

constexpr const char* kOddProgram = R"(/opt/a b/"q"/$x\y/nomilo)";

class DesktopPublisherTest : public ::testing::Test {
protected:
    void SetUp() override { PublishFolderVerbsOnChange(store, dataHome); }

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
    std::string AppFile(const std::string& verb = "Nomilo") const {
        return "data/applications/" + FolderVerbFileName(verb);
    }
    std::string MenuFile(const std::string& verb = "Nomilo") const {
        return "data/kio/servicemenus/" + FolderVerbFileName(verb);
    }
    // Every file and link below the data folder, with its mode and content or link target.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dataHome)) {
            const std::string name = entry.path().lexically_relative(tmp.Path()).string();
            struct stat st {};
            lstat(entry.path().c_str(), &st);
            if (entry.is_symlink())
                files[name] = "link to " + fs::read_symlink(entry.path()).string();
            else if (entry.is_regular_file())
                files[name] = std::to_string(st.st_mode & 07777) + ":" + tmp.Read(name);
        }
        return files;
    }

    test::TempFolder tmp;
    RegistryStore store{tmp / "registry.reg"};
    std::string dataHome = tmp / "data";
};

TEST_F(DesktopPublisherTest, PublishesBothEntriesOfAVerbAndFollowsItsChanges) {
    SetCommand("/opt/No milo/nomilo");
    SetText("Folder\\shell\\Nomilo", "No&milo");
    EXPECT_EQ(tmp.Read(AppFile()), R"([Desktop Entry]
Type=Application
Name=Nomilo
Exec="/opt/No milo/nomilo" %f
MimeType=inode/directory;
NoDisplay=true
X-Nomilo-Generated=true
)");
    EXPECT_EQ(tmp.Read(MenuFile()), R"([Desktop Entry]
Type=Service
Name=Nomilo
MimeType=inode/directory;
Actions=open;
X-KDE-ServiceTypes=KonqPopupMenu/Plugin
X-KDE-Priority=TopLevel
X-Nomilo-Generated=true

[Desktop Action open]
Name=No&milo
Icon=nomilo
Exec="/opt/No milo/nomilo" %f
)");
    EXPECT_EQ(fs::status(tmp / AppFile()).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(tmp / MenuFile()).permissions(), fs::perms(0755)); // KDE runs only these

    // An empty label shows the verb's name; a literal "&" of the name is kept in the menu.
    SetText("Folder\\shell\\A&B\\Command", "tool %1");
    EXPECT_THAT(tmp.Read(AppFile("A&B")), HasSubstr("\nName=A&B\nExec=\"tool\" %f\n"));
    EXPECT_THAT(tmp.Read(MenuFile("A&B")), HasSubstr("\nName=A&&B\n"));
    SetText("Folder\\shell\\Nomilo", "Drostel");
    EXPECT_THAT(tmp.Read(AppFile()), HasSubstr("\nName=Drostel\n"));
    EXPECT_THAT(tmp.Read(MenuFile()), HasSubstr("\nName=Drostel\nIcon"));

    // A verb with an empty command, or none, has no files.
    SetText("Folder\\shell\\Nomilo\\Command", "");
    EXPECT_FALSE(fs::exists(tmp / AppFile()));
    EXPECT_FALSE(fs::exists(tmp / MenuFile()));
    SetCommand(kOddProgram);
    const std::string menu = tmp.Read(MenuFile());
    const std::size_t exec = menu.rfind("\nExec=") + 6;
    EXPECT_EQ(test::ExecArguments(menu.substr(exec, menu.find('\n', exec) - exec)),
              (std::vector<test::ExecArgument>{{kOddProgram}, {"%f", true}}));
    Delete("Folder\\shell\\A&B\\Command");
    EXPECT_FALSE(fs::exists(tmp / AppFile("A&B")));
    EXPECT_FALSE(fs::exists(tmp / MenuFile("A&B")));
    EXPECT_TRUE(fs::exists(tmp / MenuFile()));
}

TEST_F(DesktopPublisherTest, TouchesNothingButItsOwnFiles) {
    const std::string marker = "[Desktop Entry]\nType=Application\nX-Nomilo-Generated=true\n";
    tmp.AddFolder("data/applications");
    tmp.AddFolder("data/kio/servicemenus");
    tmp.AddFile("data/applications/mimeapps.list", "[Default Applications]\n");
    tmp.AddFile("data/applications/other.desktop", marker);
    // The user's own file by the very name of the verb's entry: not ours, so never replaced.
    tmp.AddFile(AppFile(), "[Desktop Entry]\nName=Mine\n");
    tmp.AddFile(MenuFile("Old"), "[Desktop Entry]\n");
    tmp.AddFile(MenuFile("Stale"), marker);
    tmp.AddFile("elsewhere.desktop", marker);
    fs::create_symlink(tmp / "elsewhere.desktop", tmp / AppFile("L"));
    auto expected = Snapshot();

    SetCommand("/usr/bin/nomilo");
    EXPECT_FALSE(DesktopPublisher(dataHome).Publish(store)); // one entry could not be written
    expected.erase(MenuFile("Stale"));
    auto now = Snapshot();
    EXPECT_EQ(now.erase(MenuFile()), 1u);
    EXPECT_EQ(now, expected);

    Delete("Folder\\shell\\Nomilo\\Command");
    EXPECT_EQ(Snapshot(), expected);
    EXPECT_EQ(tmp.Read("elsewhere.desktop"), marker);
}

TEST_F(DesktopPublisherTest, OnlyFolderVerbChangesPublishAndAnUnreadableStoreDeletesNothing) {
    SetText("Folder\\shell\\Nomilo\\Command", "x %1", HKEY_CURRENT_USER);
    SetText("Directory\\shell\\Nomilo\\Command", "x %1");
    SetText("Folder\\shellex\\Nomilo\\Command", "x %1");
    EXPECT_FALSE(fs::exists(dataHome)); // nothing to publish makes no data folder

    SetText("FOLDER\\Shell\\Nomilo\\Command", "x %1");
    ASSERT_TRUE(fs::exists(tmp / AppFile()));
    fs::rename(tmp / "registry.reg", tmp / "saved.reg");
    tmp.AddFolder("registry.reg");
    EXPECT_FALSE(DesktopPublisher(dataHome).Publish(store));
    EXPECT_TRUE(fs::exists(tmp / AppFile()));
    EXPECT_TRUE(fs::exists(tmp / MenuFile()));
}

TEST(DesktopDataHomeTest, ComesFromTheEnvironment) {
    const std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(DesktopDataHome(), "/srv/data");
    setenv("XDG_DATA_HOME", "relative/data", 1); // not absolute: ignored
    EXPECT_EQ(DesktopDataHome(), home + "/.local/share");
    if (!saved.empty())
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

// desktop-file-validate's report on `path`, "" when it accepts the file silently.
std::string Validate(const std::string& path) {
    const std::string command = std::string(NOMILO_DESKTOP_FILE_VALIDATE) + " '" + path + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        if (pclose(pipe) != 0 && output.empty())
            output = "(failed silently)";
    }
    return output;
}

TEST_F(DesktopPublisherTest, DesktopFileValidateAcceptsTheEntries) {
    if (std::string(NOMILO_DESKTOP_FILE_VALIDATE).empty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    for (const char* program : {"/usr/bin/nomilo", kOddProgram}) {
        SetCommand(program);
        SetText("Folder\\shell\\Nomilo", "No&milo");
        EXPECT_EQ(Validate(tmp / AppFile()), "") << program;

        // A KDE service menu needs MimeType and Actions, which the validator allows only in
        // applications: its only complaints. The same file as an application passes whole.
        std::istringstream report(Validate(tmp / MenuFile()));
        std::vector<std::string> complaints;
        for (std::string line; std::getline(report, line);) {
            const std::size_t key = line.find(": error: key ");
            const bool forService = line.find("the type is \"Service\"") != std::string::npos;
            complaints.push_back(key == std::string::npos || !forService
                                     ? line
                                     : line.substr(key + 13, line.find(' ', key + 13) - key - 13));
        }
        EXPECT_EQ(complaints, (std::vector<std::string>{"\"MimeType\"", "\"Actions\""})) << program;
        std::string asApplication = tmp.Read(MenuFile());
        asApplication.replace(asApplication.find("Type=Service"), 12, "Type=Application");
        tmp.AddFile("as-application.desktop", asApplication);
        EXPECT_EQ(Validate(tmp / "as-application.desktop"), "") << program;
    }
}

} // namespace
} // namespace nomilo
