#include "platform/store/RegistryStore.h"
#include "settings/ERegistryException.h"
#include "settings/SettingsKeys.h"
#include "settings/ShellVerb.h"
#include "settings/StartFolder.h"
#include "settings/StartSelection.h"
#include "settings/TRegIniFile.h"
#include "settings/TRegistry.h"
#include "tests/support/TempFolder.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace nomilo {
namespace {

// A settings store of the test's own, with the steps the settings tests share.
class StoreTest : public ::testing::Test {
protected:
    // Stores a value of any kind directly, as another program (or a hand edit) would.
    void Put(RegRoot root, const std::string& path, const std::string& name, std::uint32_t kind,
             std::string_view data) {
        RegKey key;
        ASSERT_EQ(store.CreateKey(RegKey::Root(root), path, key), RegStatus::Ok);
        ASSERT_EQ(store.SetValue(key, name, kind, data), RegStatus::Ok);
    }
    // "kind:data" of a value, or "(no key)" or "(no value)".
    std::string Stored(RegRoot root, const std::string& path, const std::string& name) {
        RegKey key;
        std::uint32_t kind = REG_NONE;
        std::string data;
        if (store.OpenKey(RegKey::Root(root), path, RegAccess::Read, key) != RegStatus::Ok)
            return "(no key)";
        if (store.QueryValue(key, name, kind, data) != RegStatus::Ok)
            return "(no value)";
        return std::to_string(kind) + ":" + data;
    }
    bool Exists(RegRoot root, const std::string& path) {
        return Stored(root, path, "") != "(no key)";
    }
    // A folder in place of the lock file refuses every process's writes, root's included.
    void MakeUnwritable() {
        std::filesystem::remove(tmp / "registry.reg.lock");
        tmp.AddFolder("registry.reg.lock");
    }
    // The message of the ERegistryException `action` raises.
    template <typename Action> static std::string Raised(Action action) {
        try {
            action();
        } catch (const ERegistryException& e) {
            return e.what();
        }
        return "(nothing raised)";
    }

    test::TempFolder tmp;
    RegistryStore store{tmp / "registry.reg"};
};

using namespace std::literals;

class TRegistryTest : public StoreTest {};

TEST_F(TRegistryTest, EnterKeyResolvesPathsAgainstTheCurrentKeyOrTheRoot) {
    TRegistry reg(store);
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.EnterKey("Software\\Kestrio", true));
    ASSERT_TRUE(reg.EnterKey("Nomilo", true)); // relative: below the current key
    EXPECT_EQ(reg.CurrentPath(), "Software\\Kestrio\\Nomilo");
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Kestrio\\Nomilo"));
    ASSERT_TRUE(reg.EnterKey("\\SOFTWARE", false)); // absolute: below the root
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");
    EXPECT_EQ(reg.CurrentKey()->path, "Software");
    ASSERT_TRUE(reg.EnterKey("", false)); // the current key itself, its path as it is
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");

    // A failed opening changes nothing; nor does creating below a bad path.
    EXPECT_FALSE(reg.EnterKey("Missing", false));
    EXPECT_FALSE(reg.EnterKey("Bad\\\\Name", true));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Missing"));
    reg.LeaveKey();
    EXPECT_FALSE(reg.CurrentKey());
    EXPECT_FALSE(reg.EnterKey("Kestrio", false)); // relative to the root now

    // Another root closes the current key; the same root keeps it.
    ASSERT_TRUE(reg.EnterKey("Software", false));
    reg.SelectRoot(HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.CurrentKey());
    reg.SelectRoot(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(reg.CurrentKey());
    EXPECT_FALSE(reg.HasKey("Software"));
}

TEST_F(TRegistryTest, TextValuesAndTheirFailures) {
    Put(HKEY_CURRENT_USER, "S", "Width", REG_DWORD, "\x00\x02\x00\x00"sv);
    Put(HKEY_CURRENT_USER, "S", "Expand", REG_EXPAND_SZ, "%HOME%\\x\0"sv);
    Put(HKEY_CURRENT_USER, "S", "Zero", REG_SZ, "ab\0cd\0"sv);
    Put(HKEY_CURRENT_USER, "S", "Unterminated", REG_SZ, "abc"sv);
    Put(HKEY_CURRENT_USER, "S", "Empty binary", REG_BINARY, ""sv);
    TRegistry reg(store);
    // No current key: nothing to set, nothing to read.
    EXPECT_EQ(Raised([&] { reg.PutText("Jezik", "English"); }), "Failed to set data for 'Jezik'");
    EXPECT_EQ(reg.QueryText("Width"), "");

    ASSERT_TRUE(reg.EnterKey("S", false));
    EXPECT_TRUE(reg.HasValue("WIDTH"));
    EXPECT_EQ(Raised([&] { reg.QueryText("Width"); }), "Invalid data type for 'Width'");
    EXPECT_EQ(reg.QueryText("Expand"), "%HOME%\\x"); // never expanded
    EXPECT_EQ(reg.QueryText("Zero"), "ab");
    EXPECT_EQ(reg.QueryText("Unterminated"), "abc");
    EXPECT_EQ(reg.QueryText("Empty binary"), ""); // no data: empty, whatever the kind
    EXPECT_EQ(reg.QueryText("Missing"), "");
    reg.PutText("Width", "a \"quoted\" C:\\path\nline");
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "S", "Width"), "1:a \"quoted\" C:\\path\nline\0"s);
}

TEST_F(TRegistryTest, RemoveKeyTreeLeavesNothingOfADeepTreeAndNeverTakesARoot) {
    for (const char* path : {"Folder\\shell\\Nomilo\\Command", "Folder\\shell\\Nomilo\\a\\b\\c",
                             "Folder\\shell\\Nomilo\\a\\d", "Folder\\shell\\Nomilo\\A2\\x",
                             "Folder\\shell\\Nomilo\\e", "Folder\\shell\\Other"})
        Put(HKEY_CLASSES_ROOT, path, "", REG_SZ, "v\0"sv);
    TRegistry reg(store);
    reg.SelectRoot(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.EnterKey("Folder", false));
    EXPECT_TRUE(reg.RemoveKeyTree("shell\\NOMILO"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Folder\\shell\\Nomilo"));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Folder\\shell\\Other"));
    EXPECT_EQ(reg.CurrentKey()->path, "Folder");                // the current key is back
    EXPECT_FALSE(reg.RemoveKeyTree("\\Folder\\shell\\Nomilo")); // nothing left to remove

    reg.LeaveKey();
    EXPECT_FALSE(reg.RemoveKeyTree(""));
    EXPECT_FALSE(reg.RemoveKeyTree("\\"));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Folder\\shell\\Other"));
    // The current key itself, with an empty relative path.
    ASSERT_TRUE(reg.EnterKey("Folder\\shell", false));
    EXPECT_TRUE(reg.RemoveKeyTree(""));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Folder\\shell"));
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Folder"));
}

class TRegIniFileTest : public StoreTest {
protected:
    void PutText(const std::string& name, const std::string& text) {
        Put(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, text + '\0');
    }
    std::string Stored(const std::string& name) {
        return StoreTest::Stored(HKEY_CURRENT_USER, kSettingsKey, name);
    }
};

TEST(ConvertStoredNumber, FollowsTheStoredNumberRules) {
    const std::pair<const char*, int> numbers[] = {
        {"0x200", 512},
        {"0X200", 512},
        {"$ff", 255},
        {"   -4", -4},
        {"+7", 7},
        {"007", 7},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
    };
    for (const auto& [text, number] : numbers)
        EXPECT_EQ(ConvertStoredNumber(text, 77), number) << '"' << text << '"';
    for (const char* text : {"300px", "0x", "-0x10", "", " ", "-", "$", "-$10", "2147483648",
                             "-2147483649", "$100000000", "300 ", "\t300", " 0x10", "1e3"})
        EXPECT_EQ(ConvertStoredNumber(text, 77), 77) << '"' << text << '"';
}

TEST_F(TRegIniFileTest, FirstRunCreatesTheKeyAndEveryValueIsText) {
    TRegIniFile ini(kSettingsKey, store);
    EXPECT_EQ(Stored(kWidthValue), "(no value)");
    EXPECT_EQ(ini.ReadText(kLanguageValue, "English"), "English");
    EXPECT_EQ(ini.ReadNumber(kLeftValue, 241), 241);
    EXPECT_TRUE(ini.ReadFlag(kRenameSelValue, true));

    ini.WriteText(kLanguageValue, "Hrvatski");
    ini.WriteNumber(kLeftValue, -4);
    ini.WriteFlag(kRenameSelValue, false);
    EXPECT_EQ(Stored("Jezik"), "1:Hrvatski\0"s);
    EXPECT_EQ(Stored("Left"), "1:-4\0"s);
    EXPECT_EQ(Stored("RenameSel"), "1:0\0"s);
    EXPECT_EQ(ini.ReadNumber(kLeftValue, 0), -4);
    EXPECT_FALSE(ini.ReadFlag(kRenameSelValue, true));

    // A flag is a number; the text up to its zero byte is what converts; an empty stored
    // text is a text: the default is only for a missing value.
    PutText("RenameSel", "yes");
    EXPECT_FALSE(ini.ReadFlag("RenameSel", false));
    Put(HKEY_CURRENT_USER, kSettingsKey, "Width", REG_SZ,
        "12\0"
        "34\0"sv);
    EXPECT_EQ(ini.ReadNumber("Width", 77), 12);
    PutText("Jezik", "");
    EXPECT_EQ(ini.ReadText("Jezik", "English"), "");
}

TEST_F(TRegIniFileTest, ValueOfAnotherKindRaisesAndIsReplacedByTheNextWrite) {
    Put(HKEY_CURRENT_USER, kSettingsKey, "Width", REG_DWORD, "\x00\x02\x00\x00"sv);
    TRegIniFile ini(kSettingsKey, store);
    EXPECT_EQ(Raised([&] { ini.ReadNumber("Width", 361); }), "Invalid data type for 'Width'");
    // The per-value opening is undone also when the read raises.
    EXPECT_EQ(ini.CurrentPath(), kSettingsKey);
    ini.LeaveKey();
    EXPECT_THROW(ini.ReadText("Width", "x"), ERegistryException);
    EXPECT_FALSE(ini.CurrentKey());

    ini.WriteNumber("Width", 512);
    EXPECT_EQ(Stored("Width"), "1:512\0"s);
    EXPECT_EQ(ini.ReadNumber("Width", 361), 512);
}

TEST_F(TRegIniFileTest, StoreThatCannotBeWrittenIsStillRead) {
    PutText("Jezik", "Deutsch");
    Put(HKEY_CURRENT_USER, "", "Jezik", REG_SZ, "Root\0"sv);
    MakeUnwritable();
    TRegIniFile ini(kSettingsKey, store);
    EXPECT_EQ(ini.ReadText(kLanguageValue, "English"), "Deutsch");
    EXPECT_EQ(Raised([&] { ini.WriteText(kLanguageValue, "English"); }),
              "Failed to create key Software\\Kestrio\\Nomilo");
    EXPECT_EQ(Stored("Jezik"), "1:Deutsch\0"s);

    // A key that can be neither opened nor created: every read gives its default, and the
    // values of the root are never read or written in its place.
    TRegIniFile missing("Software\\Other", store);
    EXPECT_EQ(missing.ReadText("Jezik", "English"), "English");
    EXPECT_THROW(missing.WriteText("Jezik", "x"), ERegistryException);
}

const std::array<const char*, 9> kSettingsValues = {
    kLanguageValue,        kWidthValue,       kHeightValue,      kTopValue,      kLeftValue,
    kFolderListWidthValue, kPanel2WidthValue, kPanel6WidthValue, kRenameSelValue};

// The text of `"name"="..."` in a store file's text, "(none)" when it has no such line.
std::string QuotedValue(const std::string& file, const std::string& name) {
    const std::string start = "\n\"" + name + "\"=\"";
    const std::size_t at = file.find(start);
    if (at == std::string::npos)
        return "(none)";
    const std::size_t from = at + start.size();
    return file.substr(from, file.find('"', from) - from);
}

// Saves every settings value as `text`, as one update, the way the window saves at exit.
void SaveAll(RegistryStore& store, const std::string& text) {
    TRegIniFile ini(kSettingsKey, store);
    ini.BeginUpdate();
    for (const char* name : kSettingsValues)
        ini.WriteText(name, text);
    ini.EndUpdate();
}

TEST_F(TRegIniFileTest, TwoProcessesSavingAtOnceNeverMixTheirValues) {
    std::vector<pid_t> writers;
    for (const char* who : {"a", "b"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryStore own(store.Path());
            for (int round = 0; round < 40; ++round)
                SaveAll(own, who + std::to_string(round));
            _exit(0);
        }
        writers.push_back(pid);
    }
    // Every state of the file holds one save whole, or none yet.
    int mixed = 0;
    for (std::size_t running = writers.size(); running > 0;) {
        std::ifstream file(store.Path());
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        const std::string first = QuotedValue(text, kLanguageValue);
        for (const char* name : kSettingsValues)
            mixed += QuotedValue(text, name) != first;
        for (pid_t& pid : writers) {
            int status = 0;
            if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                pid = -1;
                --running;
            }
        }
    }
    EXPECT_EQ(mixed, 0);
    EXPECT_NE(Stored("Jezik"), "(no value)");
}

TEST_F(TRegIniFileTest, AnUpdateThatCannotBeWrittenRaisesForItsFirstValue) {
    {
        // An update still open when the object goes is written then.
        TRegIniFile ini(kSettingsKey, store);
        ini.BeginUpdate();
        ini.WriteText(kLanguageValue, "Deutsch");
    }
    EXPECT_EQ(Stored("Jezik"), "1:Deutsch\0"s);

    TRegIniFile ini(kSettingsKey, store);
    ini.BeginUpdate();
    ini.WriteText(kLanguageValue, "English");
    ini.WriteNumber(kWidthValue, 361);
    std::filesystem::remove(tmp / "registry.reg");
    tmp.AddFolder("registry.reg"); // never replaced by a file
    EXPECT_EQ(Raised([&] { ini.EndUpdate(); }), "Failed to set data for 'Jezik'");
}

// Before, every value cost a walk through all the values before it, and every read a new
// reading of the file: minutes for this key at start and at exit.
TEST_F(TRegIniFileTest, AKeyOfFiftyThousandValuesIsReadAndSavedWhole) {
    std::string others = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\n";
    for (int i = 0; i < 50000; ++i)
        others += "\"Other" + std::to_string(i) + "\"=\"some text\"\n";
    tmp.AddFile("registry.reg", others + "\"Width\"=\"500\"\n");
    {
        TRegIniFile ini(kSettingsKey, store);
        EXPECT_EQ(ini.ReadNumber(kWidthValue, 361), 500);
        for (const char* name : kSettingsValues)
            ini.ReadText(name, "");
    }
    SaveAll(store, "7");
    const std::string saved = tmp.Read("registry.reg");
    EXPECT_TRUE(saved.starts_with(others));
    EXPECT_EQ(QuotedValue(saved, kWidthValue), "7");
    EXPECT_EQ(QuotedValue(saved, "Other49999"), "some text");
}

TEST(TRegIniFileDefaultStore, LivesInTheUsersConfigurationFolder) {
    // CTest gives every test a configuration folder of the build's own.
    TRegIniFile(kSettingsKey).WriteNumber("DefaultStoreTest", 42);
    EXPECT_EQ(RegistryStore::Default().Path(), RegistryStore::DefaultPath());
    std::ifstream file(RegistryStore::DefaultPath());
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("\"DefaultStoreTest\"=\"42\""), std::string::npos) << text;
}

class ShellVerbTest : public StoreTest {
protected:
    // The default text of a key below HKEY_CLASSES_ROOT, "(no key)" or "(no value)".
    std::string Text(const std::string& path) {
        const std::string stored = Stored(HKEY_CLASSES_ROOT, path, "");
        return stored.starts_with("1:") ? stored.substr(2, stored.size() - 3) : stored;
    }
    void Create(const std::string& path) { Put(HKEY_CLASSES_ROOT, path, "x", REG_SZ, ""); }
};

TEST_F(ShellVerbTest, InstallWritesTheCaptionAndExitWritesTheShellLabel) {
    const std::pair<const char*, const char*> cases[] = {
        {"Nomilo", "No&milo"}, {"Drostel", "No&milo"}, {"Velkaro", "Vel&karo"}, {"Nomilo", ""}};
    for (const auto& [caption, shellLabel] : cases) {
        InstallShellVerb("/usr/bin/nomilo", caption, store);
        EXPECT_EQ(Text("Folder\\shell\\Nomilo"), caption);
        EXPECT_EQ(Text("Folder\\shell\\Nomilo\\Command"), R"("/usr/bin/nomilo" "%L")");
        EXPECT_TRUE(ShellVerbInstalled(store));
        RelabelShellVerb(shellLabel, store);
        EXPECT_EQ(Text("Folder\\shell\\Nomilo"), shellLabel);
    }
    // Installing from a copy elsewhere repairs the path.
    InstallShellVerb("/home/ann/bin/nomilo", "Nomilo", store);
    EXPECT_EQ(Text("Folder\\shell\\Nomilo\\Command"), R"("/home/ann/bin/nomilo" "%L")");
}

// An exit whose label is already stored writes nothing, so nothing is published again; a label
// of another kind of value is written as text.
TEST_F(ShellVerbTest, ALabelAlreadyStoredIsNotWrittenAgain) {
    InstallShellVerb("/usr/bin/nomilo", "Nomilo", store);
    RelabelShellVerb("No&milo", store);
    int changes = 0;
    store.SetChangeHook([&](RegRoot, const std::string&) { ++changes; });
    RelabelShellVerb("No&milo", store);
    EXPECT_EQ(changes, 0);
    Put(HKEY_CLASSES_ROOT, "Folder\\shell\\Nomilo", "", REG_EXPAND_SZ, "No&milo\0"s);
    changes = 0;
    RelabelShellVerb("No&milo", store);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Stored(HKEY_CLASSES_ROOT, "Folder\\shell\\Nomilo", ""), "1:No&milo\0"s);
}

TEST_F(ShellVerbTest, RemovalTakesTheWholeVerbAndNothingElse) {
    RemoveShellVerb(store); // nothing installed: nothing happens, nothing is created
    RelabelShellVerb("No&milo", store);
    EXPECT_EQ(Text("Folder"), "(no key)");
    EXPECT_FALSE(ShellVerbInstalled(store));

    Create("Folder\\shell\\Other\\Command");
    InstallShellVerb("/usr/bin/nomilo", "Nomilo", store);
    Create("Folder\\shell\\Nomilo\\Command\\Extra");
    RemoveShellVerb(store);
    EXPECT_FALSE(ShellVerbInstalled(store));
    EXPECT_EQ(Text("Folder\\shell\\Nomilo"), "(no key)");
    EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, "Folder\\shell\\Other\\Command"));

    // A verb key without its command is relabelled, but is not there to be removed.
    Create("Folder\\shell\\Nomilo");
    EXPECT_FALSE(ShellVerbInstalled(store));
    RelabelShellVerb("Vel&karo", store);
    EXPECT_EQ(Text("Folder\\shell\\Nomilo"), "Vel&karo");
    EXPECT_EQ(Text("Folder\\shell\\Nomilo\\Command"), "(no key)");
}

TEST_F(ShellVerbTest, AStoreThatCannotBeWrittenIsReportedAndKeepsWhatItHas) {
    InstallShellVerb("/usr/bin/nomilo", "Nomilo", store);
    MakeUnwritable();
    EXPECT_EQ(Raised([&] { InstallShellVerb("/usr/bin/nomilo", "Drostel", store); }),
              "Failed to set data for ''");
    EXPECT_EQ(Raised([&] { RelabelShellVerb("No&milo", store); }), "Failed to set data for ''");
    RemoveShellVerb(store); // refused silently
    EXPECT_TRUE(ShellVerbInstalled(store));
    EXPECT_EQ(Text("Folder\\shell\\Nomilo"), "Nomilo");
}

// Another instance removes the verb while this one installs it: after the command key is made
// (the command cannot be stored) or after the command is stored (the label cannot be). The
// install then removes what it created, but not a verb another instance added meanwhile.
TEST_F(ShellVerbTest, AnInstallThatFailsHalfWayLeavesNothingNew) {
    const std::tuple<int, const char*, const char*> cases[] = {
        // the change of the command key after which the verb goes; verbs before, meanwhile
        {1, nullptr, nullptr},
        {2, nullptr, nullptr},
        {1, "Other", nullptr},
        {2, "Other", nullptr},
        {2, nullptr, "Late"}};
    for (const auto& [event, verbBefore, verbMeanwhile] : cases) {
        SCOPED_TRACE(event);
        test::TempFolder folder;
        RegistryStore local(folder / "registry.reg");
        const auto exists = [&](const std::string& path) {
            RegKey key;
            return local.OpenKey(RegKey::Root(HKEY_CLASSES_ROOT), path, RegAccess::Read, key) ==
                   RegStatus::Ok;
        };
        const auto create = [&](const char* verb) {
            RegKey key;
            if (verb)
                local.CreateKey(RegKey::Root(HKEY_CLASSES_ROOT),
                                "Folder\\shell\\" + std::string(verb), key);
        };
        create(verbBefore);
        int events = 0;
        local.SetChangeHook([&](RegRoot, const std::string& path) {
            if (path == kShellCommandKey && ++events == event) {
                local.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), kShellCommandKey);
                local.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), kShellVerbKey);
                create(verbMeanwhile);
            }
        });
        EXPECT_EQ(Raised([&] { InstallShellVerb("/usr/bin/nomilo", "Nomilo", local); }),
                  "Failed to set data for ''");
        EXPECT_FALSE(exists(kShellVerbKey));
        EXPECT_EQ(exists("Folder"), verbBefore || verbMeanwhile);
        for (const char* verb : {verbBefore, verbMeanwhile})
            EXPECT_TRUE(!verb || exists("Folder\\shell\\" + std::string(verb)));
    }
}

// The command line: arguments taken as bytes, not as text.
TEST(CommandLineTest, OnePathIsTheStartFolderSeveralAreASelection) {
    const std::string longName = "/" + std::string(300, 'x');
    using Args = std::vector<std::string>;
    const std::pair<Args, std::string> startFolders[] = {
        {{"nomilo", "/home/ann/My Photos"}, "/home/ann/My Photos"},
        {{"nomilo", "", "/tmp/a\"b\\ c/", ""}, "/tmp/a\"b\\ c/"},
        {{"nomilo", "/tmp/\xff\xfe"}, "/tmp/\xff\xfe"},
        {{"nomilo", longName}, longName},
        {{"nomilo", "file:///tmp/My%20Photos/%FF%0a%25"}, "/tmp/My Photos/\xff\n%"},
        {{"nomilo", "file://localhost/"}, "/"},
        {{"nomilo", ""}, ""},
        {{}, ""},
    };
    for (const auto& [arguments, expected] : startFolders) {
        std::vector<const char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        const TCommandLine commandLine =
            ReadCommandLine(static_cast<int>(arguments.size()), argv.data());
        EXPECT_FALSE(commandLine.selection) << expected;
        EXPECT_EQ(commandLine.StartFolder(), expected);
    }

    const std::pair<Args, Args> selections[] = {
        {{"nomilo", "a.jpg", "", "file:///x/b%20c.jpg"}, {"a.jpg", "/x/b c.jpg"}},
        // After the option every argument is a path, one alone too, and an option-like one.
        {{"nomilo", "", "--select", "/x/a.jpg"}, {"/x/a.jpg"}},
        {{"nomilo", "--select", "--select", "-x"}, {"--select", "-x"}},
        {{"nomilo", "--select"}, {}},
        // What is no local file URI stays as it stands.
        {{"nomilo", "file://host/x", "file:///a%2", "file:///a%00b", "file:///%zz", "file:x"},
         {"file://host/x", "file:///a%2", "file:///a%00b", "file:///%zz", "file:x"}},
    };
    for (const auto& [arguments, expected] : selections) {
        const TCommandLine commandLine = ReadCommandLine(arguments);
        EXPECT_TRUE(commandLine.selection);
        EXPECT_EQ(commandLine.paths, expected);
        EXPECT_EQ(commandLine.StartFolder(), "");
    }
}

TEST(CommandLineTest, ASelectionIsSortedOutByFolder) {
    test::TempFolder tmp;
    tmp.AddFolder("a/sub");
    tmp.AddFolder("b");
    for (const char* file : {"a/1.jpg", "a/2 \n$.jpg", "a/\xff", "b/3.jpg"})
        tmp.AddFile(file);
    std::filesystem::create_symlink(tmp / "b/3.jpg", tmp / "a/link.jpg");
    std::filesystem::create_symlink(tmp / "b", tmp / "a/b-link");
    const std::string a = tmp / "a", b = tmp / "b";
    // The first path is missing: the first that exists names the folder. The same folder by
    // another spelling is that folder; a link is the entry it is.
    const TStartSelection selection = GroupSelection(
        {a + "/gone.jpg", a + "/1.jpg", b + "/3.jpg", a + "/sub/../2 \n$.jpg", a + "//1.jpg",
         a + "/b-link/3.jpg", a + "/link.jpg", a + "/\xff", a + "/sub/", a + "/gone.jpg"});
    EXPECT_EQ(selection.folder, a);
    EXPECT_EQ(selection.entries,
              (std::vector<TSelectedEntry>{{"1.jpg", a + "/1.jpg"},
                                           {"2 \n$.jpg", a + "/sub/../2 \n$.jpg"},
                                           {"link.jpg", a + "/link.jpg"},
                                           {"\xff", a + "/\xff"},
                                           {"sub", a + "/sub/", true}}));
    EXPECT_TRUE(selection.HoldsFolders());
    EXPECT_EQ(selection.leftOut,
              (std::vector<TLeftOutPath>{{a + "/gone.jpg", TLeftOut::Missing},
                                         {b + "/3.jpg", TLeftOut::OtherFolder},
                                         {a + "/b-link/3.jpg", TLeftOut::OtherFolder}}));
    EXPECT_EQ(GroupSelection({"/no/such"}).folder, "");
}

} // namespace
} // namespace nomilo
