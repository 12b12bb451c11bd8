#include "platform/store/RegistryStore.h"

#include "platform/store/internal/RegFile.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace nomilo {
namespace {

using namespace std::literals;

const RegValue* ValueAt(const RegistryTree& tree, RegRoot root, const std::string& path,
                        const std::string& name) {
    const RegKeyNode* node = tree.Find(root, *SplitKeyPath(path));
    return node ? node->FindValue(name) : nullptr;
}

TEST(RegFile, EveryKindOfValueSurvivesTheFileByteForByte) {
    RegistryTree tree;
    RegKeyNode& key = tree.Root(HKEY_CURRENT_USER).AddSubkey("Software").AddSubkey("Kestrio");
    key.SetValue("plain", REG_SZ, "English\0"s);
    key.SetValue("", REG_SZ, "the default\0"s);
    key.SetValue("quo\"te\\name", REG_SZ, "C:\\Program Files\\\"x\"\0"s);
    key.SetValue("empty text", REG_SZ, "\0"s);
    key.SetValue("no data", REG_SZ, "");
    key.SetValue("line break", REG_SZ, "two\r\nlines\0"s);
    key.SetValue("inner zero", REG_SZ, "ab\0cd\0"s);
    key.SetValue("unterminated", REG_SZ, "abc");
    key.SetValue("utf8 and not", REG_SZ, "\xC5\xA1kolj\xFF\0"s);
    key.SetValue("expand", REG_EXPAND_SZ, "%HOME%\\x\0"s);
    key.SetValue("dword", REG_DWORD, "\x00\x02\x00\x00"s);
    key.SetValue("short dword", REG_DWORD, "\x01\x02\x03"s);
    std::string binary;
    for (int i = 0; i < 300; ++i)
        binary += static_cast<char>(i * 7);
    key.SetValue("binary", REG_BINARY, binary);
    key.SetValue("multi", REG_MULTI_SZ, "a\0b\0\0"s);
    key.SetValue("none", REG_NONE, "");
    key.SetValue("odd kind", 0x12345678, "z");
    tree.Root(HKEY_CURRENT_USER).AddSubkey("Empty Key");
    tree.Root(HKEY_CLASSES_ROOT).AddSubkey("Folder").SetValue("", REG_SZ, "x\0"s);
    tree.Root(HKEY_CLASSES_ROOT).SetValue("at the root", REG_SZ, "r\0"s);

    const std::string text = FormatRegFile(tree);
    const RegFileContent back = ParseRegFile(text);
    EXPECT_FALSE(back.damaged) << text;
    EXPECT_TRUE(back.tree == tree) << text;

    // The forms the registry editor reads.
    EXPECT_EQ(text.substr(0, 9), "REGEDIT4\n");
    for (const char* line :
         {"[HKEY_CURRENT_USER\\Software\\Kestrio]\n", "\"plain\"=\"English\"\n",
          "@=\"the default\"\n", "\"quo\\\"te\\\\name\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\n",
          "\"no data\"=hex(1):\n", "\"dword\"=dword:00000200\n",
          "\"short dword\"=hex(4):01,02,03\n", "\"odd kind\"=hex(12345678):7a\n",
          "[HKEY_CURRENT_USER\\Empty Key]\n", "[HKEY_CLASSES_ROOT]\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
}

TEST(RegFile, HandWrittenFileReads) {
    const std::string text = "\xEF\xBB\xBF"
                             "REGEDIT4\r\n"
                             "\r\n"
                             "; the program's settings\r\n"
                             "[hkey_current_user\\Software\\Kestrio\\Nomilo]\r\n"
                             "\"Jezik\" = \"Deutsch\"\r\n"
                             "  ; indented comment\r\n"
                             "@=\"say \\\"hi\\\" to C:\\\\\"\r\n"
                             "\"Path\"=\"C:\\Temp\"\r\n"
                             "\"Width\"=dword:200\r\n"
                             "\"Blob\"=hex:01,02,\\\r\n"
                             "  03 , 0a,\\\r\n"
                             "  FF\r\n"
                             "\"Expand\"=hex(2):25,00\r\n"
                             "[HKEY_CLASSES_ROOT\\Folder\\shell]\r\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\kestrio\\nomilo]\r\n"
                             "\"jezik\"=\"Hrvatski\"\r\n";
    const RegFileContent content = ParseRegFile(text);
    EXPECT_FALSE(content.damaged);
    const std::string key = "Software\\Kestrio\\Nomilo";
    const auto value = [&](const std::string& name) {
        const RegValue* found = ValueAt(content.tree, HKEY_CURRENT_USER, key, name);
        return found ? std::make_pair(found->kind, found->data) : std::make_pair(0u, "(none)"s);
    };
    // A repeated section is the same key; the later value wins and the first spelling stays.
    EXPECT_EQ(value("JEZIK"), std::make_pair(REG_SZ, "Hrvatski\0"s));
    EXPECT_EQ(ValueAt(content.tree, HKEY_CURRENT_USER, key, "jezik")->name, "Jezik");
    EXPECT_EQ(content.tree.Root(HKEY_CURRENT_USER).SubkeyAt(0)->Name(), "Software");
    EXPECT_EQ(value(""), std::make_pair(REG_SZ, "say \"hi\" to C:\\\0"s));
    EXPECT_EQ(value("Path"), std::make_pair(REG_SZ, "C:\\Temp\0"s));
    EXPECT_EQ(value("Width"), std::make_pair(REG_DWORD, "\x00\x02\x00\x00"s));
    EXPECT_EQ(value("Blob"), std::make_pair(REG_BINARY, "\x01\x02\x03\x0a\xff"s));
    EXPECT_EQ(value("Expand"), std::make_pair(REG_EXPAND_SZ, "%\0"s));
    // A section names every key above it.
    EXPECT_NE(content.tree.Find(HKEY_CLASSES_ROOT, {"folder"}), nullptr);
}

TEST(RegFile, DamagedFileGivesWhatParses) {
    const std::string good = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"one\"=\"1\"\n";
    const std::string cases[] = {
        good + "\"two\"=\"2",
        good + "\"two\"=hex:01,02,\\\n",
        good + "\x01\x02\xff garbage\0\n"s,
        good + "[HKEY_CURRENT_USER\\B\n\"two\"=\"2\"\n",
        good + "[HKEY_LOCAL_MACHINE\\B]\n\"two\"=\"2\"\n",
        good + "[HKEY_CURRENT_USER\\B\\\\C]\n",
        good + "\"one\"=-\n", // a deletion entry
        good + "\"two\"=dword:123456789\n\"three\"=hex:1g\n",
        good.substr(9), // no header
        "REGEDIT4\n\"zero\"=\"0\"\n" + good.substr(9),
    };
    for (const std::string& text : cases) {
        const RegFileContent content = ParseRegFile(text);
        EXPECT_TRUE(content.damaged) << text;
        const RegValue* one = ValueAt(content.tree, HKEY_CURRENT_USER, "A", "one");
        ASSERT_NE(one, nullptr) << text;
        EXPECT_EQ(one->data, "1\0"s) << text;
        EXPECT_EQ(ValueAt(content.tree, HKEY_CURRENT_USER, "A", "zero"), nullptr) << text;
        EXPECT_EQ(content.tree.Find(HKEY_CURRENT_USER, {"B"}), nullptr) << text;
    }
    // A last line that lost only its line break is still used (and the file counts as damaged).
    const RegFileContent lastLine = ParseRegFile(good + "\"two\"=\"2\"");
    EXPECT_TRUE(lastLine.damaged);
    EXPECT_NE(ValueAt(lastLine.tree, HKEY_CURRENT_USER, "A", "two"), nullptr);
    EXPECT_FALSE(ParseRegFile("").damaged);
}

// A section deeper than the registry's 512 levels is damaged, and the rest of the file is used.
TEST(RegFile, ASectionDeeperThanTheRegistryAllowsIsDamagedAndTheRestIsUsed) {
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 200000; ++i)
        deep += "\\k";
    const RegFileContent content = ParseRegFile("REGEDIT4\n\n" + deep + "]\n\"lost\"=\"1\"\n\n" +
                                                "[HKEY_CURRENT_USER\\A]\n\"one\"=\"1\"\n");
    EXPECT_TRUE(content.damaged);
    EXPECT_NE(ValueAt(content.tree, HKEY_CURRENT_USER, "A", "one"), nullptr);
    EXPECT_EQ(content.tree.Find(HKEY_CURRENT_USER, {"k"}), nullptr);

    // 512 levels are a key like any other, in the file and back.
    std::string deepest = "HKEY_CURRENT_USER";
    for (std::size_t i = 0; i < kMaxKeyDepth; ++i)
        deepest += "\\k";
    const RegFileContent limit = ParseRegFile("REGEDIT4\n\n[" + deepest + "]\n\"v\"=\"1\"\n");
    EXPECT_FALSE(limit.damaged);
    EXPECT_TRUE(ParseRegFile(FormatRegFile(limit.tree)).tree == limit.tree);
    EXPECT_TRUE(ParseRegFile("REGEDIT4\n\n[" + deepest + "\\k]\n").damaged);
}

TEST(RegistryTree, AnyDepthIsComparedWrittenAndTakenDownWithoutRecursion) {
    RegistryTree tree, same;
    for (RegistryTree* each : {&tree, &same}) {
        RegKeyNode* node = &each->Root(HKEY_CURRENT_USER);
        for (int i = 0; i < 200000; ++i)
            node = &node->AddSubkey("k");
        node->SetValue("v", REG_SZ, "x\0"s);
    }
    EXPECT_TRUE(tree == same);
    // Only the deepest key needs a section of its own: it names every key above it.
    const std::string text = FormatRegFile(tree);
    EXPECT_EQ(std::count(text.begin(), text.end(), '['), 1);
    EXPECT_TRUE(ParseRegFile(text).damaged);
}

// UTF-16LE text of ASCII and two-byte UTF-8 sequences, with the byte-order mark.
std::string Utf16WithBom(std::string_view utf8) {
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned unit = static_cast<unsigned char>(utf8[i]);
        if (unit >= 0xC0)
            unit = (unit & 0x1F) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

// What the registry editor exports today, with deletion entries as an import file has them.
const std::string kVersion5 =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Old]\r\n\"x\"=\"1\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Old\\Sub]\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\r\n"
    "\"Jezik\"=\"Hrvatski\"\r\n"
    "\"Naziv\"=\"Klju\xC4\x8D\"\r\n"
    "\"gone\"=\"soon\"\r\n"
    "@=\"default\"\r\n"
    "\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,3d,d8,00,de,00,00\r\n"
    "\"List\"=hex(7):61,00,00,00,62,00,\\\r\n  00,00,00,00\r\n"
    "\"Width\"=dword:00000200\r\n"
    "\"Blob\"=hex:01,02\r\n\r\n"
    "[-HKEY_CURRENT_USER\\Software\\Old]\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\r\n"
    "\"GONE\"=-\r\n"
    "@=-\r\n\r\n";

TEST(RegFile, TheVersion5ExportReadsInUtf16AndUtf8WithItsDeletionsApplied) {
    const RegFileContent content = ParseRegFile(Utf16WithBom(kVersion5));
    EXPECT_FALSE(content.damaged);
    const std::string key = "Software\\Kestrio\\Nomilo";
    const auto value = [&](const std::string& name) {
        const RegValue* found = ValueAt(content.tree, HKEY_CURRENT_USER, key, name);
        return found ? std::make_pair(found->kind, found->data) : std::make_pair(0u, "(none)"s);
    };
    EXPECT_EQ(value("Jezik"), std::make_pair(REG_SZ, "Hrvatski\0"s));
    EXPECT_EQ(value("Naziv"), std::make_pair(REG_SZ, "Klju\xC4\x8D\0"s));
    EXPECT_EQ(value("Path"), std::make_pair(REG_EXPAND_SZ, "%HOME%\xF0\x9F\x98\x80\0"s));
    EXPECT_EQ(value("List"), std::make_pair(REG_MULTI_SZ, "a\0b\0\0"s));
    EXPECT_EQ(value("Width"), std::make_pair(REG_DWORD, "\x00\x02\x00\x00"s));
    EXPECT_EQ(value("Blob"), std::make_pair(REG_BINARY, "\x01\x02"s));
    EXPECT_EQ(value("gone"), std::make_pair(0u, "(none)"s));
    EXPECT_EQ(value(""), std::make_pair(0u, "(none)"s));
    EXPECT_EQ(content.tree.Find(HKEY_CURRENT_USER, {"Software", "Old"}), nullptr);

    for (const std::string& utf8 : {kVersion5, "\xEF\xBB\xBF" + kVersion5}) {
        const RegFileContent same = ParseRegFile(utf8);
        EXPECT_FALSE(same.damaged);
        EXPECT_TRUE(same.tree == content.tree);
    }
}

TEST(RegFile, WhatAVersion5FileCannotMeanIsDamage) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n";
    for (const std::string& text : {
             header + "\"odd\"=hex(2):41,00,42\n",           // half a UTF-16 unit
             header + "\"lone\"=hex(1):00,d8,00,00\n",       // half a surrogate pair
             header + "[-HKEY_CURRENT_USER]\n",              // a root is never deleted
             header + "[-HKEY_CURRENT_USER\\A]\n\"v\"=\"1\"\n", // a value of no key
         }) {
        const RegFileContent content = ParseRegFile(text);
        EXPECT_TRUE(content.damaged) << text;
        EXPECT_EQ(ValueAt(content.tree, HKEY_CURRENT_USER, "A", "odd"), nullptr);
        EXPECT_EQ(ValueAt(content.tree, HKEY_CURRENT_USER, "A", "lone"), nullptr);
    }
    EXPECT_TRUE(ParseRegFile(Utf16WithBom(header) + "\x00\xD8\n\x00"s).damaged);
}

const RegKey kUser = RegKey::Root(HKEY_CURRENT_USER);

class RegistryStoreTest : public ::testing::Test {
protected:
    RegKey Create(const std::string& path, RegRoot root = HKEY_CURRENT_USER) {
        RegKey key;
        EXPECT_EQ(store.CreateKey(RegKey::Root(root), path, key), RegStatus::Ok) << path;
        return key;
    }
    std::string Text(const RegKey& key, const std::string& name) {
        std::uint32_t kind = REG_NONE;
        std::string data;
        if (store.QueryValue(key, name, kind, data) != RegStatus::Ok)
            return "(missing)";
        return kind == REG_SZ ? data : "(kind " + std::to_string(kind) + ")";
    }

    test::TempFolder tmp;
    std::string path = tmp / "registry.reg";
    RegistryStore store{path};
};

TEST_F(RegistryStoreTest, NamesMatchWithoutCaseKeepTheirFirstSpellingAndListInOrder) {
    const RegKey key = Create("Software\\Kestrio\\Nomilo");
    EXPECT_EQ(Create("SOFTWARE\\kestrio\\NOMILO\\Sub").path, "Software\\Kestrio\\Nomilo\\Sub");
    ASSERT_EQ(store.SetValue(key, "Width", REG_SZ, "361\0"sv), RegStatus::Ok);
    ASSERT_EQ(store.SetValue(key, "WIDTH", REG_DWORD, "\x01\x00\x00\x00"sv), RegStatus::Ok);
    EXPECT_NE(tmp.Read("registry.reg").find("\"Width\"=dword:00000001"), std::string::npos);
    RegKey other;
    EXPECT_EQ(store.CreateKey(kUser, "A\\\\B", other), RegStatus::InvalidName);
    EXPECT_EQ(store.SetValue(key, "line\nbreak", REG_SZ, "x"), RegStatus::InvalidName);
    EXPECT_EQ(store.OpenKey(RegKey::Root(HKEY_CLASSES_ROOT), "Software", RegAccess::Read, other),
              RegStatus::NotFound);

    Create("Software\\beta\\deeper");
    Create("Software\\Alpha");
    std::vector<std::string> names;
    std::string name;
    const RegKey software = Create("software");
    for (std::size_t i = 0; store.EnumKey(software, i, name) == RegStatus::Ok; ++i)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "Kestrio"}));
}

// Listing goes from where the last answer stood; keys that come and go between the calls, and
// a listing begun again, still give each name at its place.
TEST_F(RegistryStoreTest, SubkeysListInOrderWhileKeysComeAndGo) {
    const RegKey top = Create("Top");
    for (const char* name : {"b", "d", "f"})
        Create(std::string("Top\\") + name);
    std::string name;
    const auto at = [&](std::size_t index) {
        return store.EnumKey(top, index, name) == RegStatus::Ok ? name : "(none)";
    };
    EXPECT_EQ(at(1), "d");
    Create("Top\\a"); // before the place of the last answer
    EXPECT_EQ(at(1), "b");
    EXPECT_EQ(at(2), "d");
    ASSERT_EQ(store.DeleteKey(top, "d"), RegStatus::Ok);
    EXPECT_EQ(at(2), "f");
    EXPECT_EQ(at(0), "a");
    EXPECT_EQ(at(3), "(none)");
}

// A read batch looks at the file once: a change another process makes meanwhile shows only
// after it, while the store's own changes show at once.
TEST_F(RegistryStoreTest, AReadBatchSeesTheFileAsItsFirstReadFoundIt) {
    const RegKey key = Create("A");
    ASSERT_EQ(store.SetValue(key, "v", REG_SZ, "1\0"sv), RegStatus::Ok);
    const std::string before = tmp.Read("registry.reg");
    {
        const RegistryStore::ReadBatch batch(store);
        EXPECT_EQ(Text(key, "v"), "1\0"s);
        tmp.AddFile("registry.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"2\"\n");
        EXPECT_EQ(Text(key, "v"), "1\0"s);
        ASSERT_EQ(store.SetValue(key, "w", REG_SZ, "3\0"sv), RegStatus::Ok); // reads the file
        EXPECT_EQ(Text(key, "v"), "2\0"s);
        EXPECT_EQ(Text(key, "w"), "3\0"s);
        tmp.AddFile("registry.reg", before);
        EXPECT_EQ(Text(key, "w"), "3\0"s);
    }
    EXPECT_EQ(Text(key, "w"), "(missing)");
}

TEST_F(RegistryStoreTest, KeysAreDeletedOneByOneAndAHandleOfADeletedKeySaysSo) {
    const RegKey top = Create("Top");
    Create("Top\\beta\\deeper");
    // A key with subkeys is not deleted by the single delete, nor is a root.
    EXPECT_EQ(store.DeleteKey(top, "beta"), RegStatus::AccessDenied);
    EXPECT_EQ(store.DeleteKey(kUser, ""), RegStatus::AccessDenied);
    EXPECT_EQ(store.DeleteKey(top, "BETA\\Deeper"), RegStatus::Ok);
    EXPECT_EQ(store.DeleteKey(top, "beta"), RegStatus::Ok);
    EXPECT_EQ(store.DeleteKey(top, "beta"), RegStatus::NotFound);

    // Another store object on the same file sees every change at once.
    RegistryStore other(path);
    ASSERT_EQ(other.DeleteKey(top, ""), RegStatus::Ok);
    EXPECT_EQ(store.SetValue(top, "x", REG_SZ, "1\0"sv), RegStatus::KeyDeleted);
    RegKeyInfo info;
    EXPECT_EQ(store.QueryInfoKey(top, info), RegStatus::KeyDeleted);
}

TEST_F(RegistryStoreTest, ChangeHookFollowsEverySuccessfulChange) {
    // Each call: the root, the key path, and whether the key exists when the hook runs (the
    // hook may read the store: the lock is released by then).
    std::vector<std::tuple<RegRoot, std::string, bool>> calls;
    store.SetChangeHook([&](RegRoot root, const std::string& keyPath) {
        RegKey key;
        calls.emplace_back(root, keyPath,
                           store.OpenKey(RegKey::Root(root), keyPath, RegAccess::Read, key) ==
                               RegStatus::Ok);
    });
    const std::string command = "Folder\\shell\\Nomilo\\Command";
    const RegKey key = Create(command, HKEY_CLASSES_ROOT);
    Create("folder\\SHELL", HKEY_CLASSES_ROOT); // exists already: no change
    ASSERT_EQ(store.SetValue(key, "", REG_SZ, "cmd\0"sv), RegStatus::Ok);
    ASSERT_EQ(store.SetValue(key, "", REG_SZ, "cmd\0"sv), RegStatus::Ok); // same data
    ASSERT_EQ(store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), "folder\\shell\\nomilo\\command"),
              RegStatus::Ok);
    EXPECT_EQ(store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), "Folder"), RegStatus::AccessDenied);
    EXPECT_EQ(calls, (std::vector<std::tuple<RegRoot, std::string, bool>>{
                         {HKEY_CLASSES_ROOT, command, true},
                         {HKEY_CLASSES_ROOT, command, true},
                         {HKEY_CLASSES_ROOT, command, true},
                         {HKEY_CLASSES_ROOT, command, false}}));
}

TEST_F(RegistryStoreTest, DamagedFileIsUsedAndKeptBesideBeforeAWrite) {
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Kept]\n\"a\"=\"1\"\n"
                                "[HKEY_CURRENT_USER\\Lost\n\"b\"=\"2\"\n\"c\"=\"3";
    tmp.AddFile("registry.reg", damaged);
    RegKey kept;
    ASSERT_EQ(store.OpenKey(kUser, "Kept", RegAccess::AllAccess, kept), RegStatus::Ok);
    EXPECT_EQ(Text(kept, "a"), "1\0"s);
    EXPECT_FALSE(tmp.Names().contains("registry.reg.bad")); // reading keeps the file as it is

    ASSERT_EQ(store.SetValue(kept, "d", REG_SZ, "4\0"sv), RegStatus::Ok);
    EXPECT_EQ(tmp.Read("registry.reg.bad"), damaged);
    EXPECT_EQ(Text(kept, "a"), "1\0"s);
    EXPECT_EQ(Text(kept, "d"), "4\0"s);
    // The rewritten file is whole again: the next write keeps nothing more.
    ASSERT_EQ(store.SetValue(kept, "e", REG_SZ, "5\0"sv), RegStatus::Ok);
    EXPECT_FALSE(tmp.Names().contains("registry.reg.bad.2"));

    // A second damage never replaces the first kept file.
    tmp.AddFile("registry.reg", "\x7f"
                                "ELF garbage\n");
    ASSERT_EQ(store.SetValue(kUser, "f", REG_SZ, "6\0"sv), RegStatus::Ok);
    EXPECT_EQ(tmp.Read("registry.reg.bad"), damaged);
    EXPECT_EQ(tmp.Read("registry.reg.bad.2"), "\x7f"
                                              "ELF garbage\n");
    EXPECT_EQ(Text(kUser, "f"), "6\0"s);
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kValues = 30;
    std::vector<pid_t> children;
    for (const char* who : {"first", "second"}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryStore own(path);
            bool ok = true;
            for (int i = 0; i < kValues; ++i) {
                RegKey key;
                ok = ok && own.CreateKey(kUser, who + std::to_string(i % 3), key) == RegStatus::Ok;
                ok = ok && own.SetValue(key, who + std::to_string(i), REG_SZ,
                                        std::to_string(i) + '\0') == RegStatus::Ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (const std::string who : {"first", "second"})
        for (int i = 0; i < kValues; ++i) {
            RegKey key;
            ASSERT_EQ(store.OpenKey(kUser, who + std::to_string(i % 3), RegAccess::Read, key),
                      RegStatus::Ok);
            EXPECT_EQ(Text(key, who + std::to_string(i)), std::to_string(i) + '\0');
        }
    // No temporary file is left behind.
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(RegistryStoreTest, StoreThatCannotBeWrittenFailsChangesAndStillReads) {
    // A folder in place of the lock file refuses every process, root included.
    const std::string content =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"Jezik\"=\"Deutsch\"\n";
    tmp.AddFile("registry.reg", content);
    tmp.AddFolder("registry.reg.lock");
    EXPECT_FALSE(store.Writable());
    RegKey key;
    EXPECT_EQ(store.CreateKey(kUser, "Software", key), RegStatus::AccessDenied);
    EXPECT_EQ(store.OpenKey(kUser, "Software", RegAccess::AllAccess, key), RegStatus::AccessDenied);
    ASSERT_EQ(store.OpenKey(kUser, "Software", RegAccess::Read, key), RegStatus::Ok);
    EXPECT_EQ(Text(key, "Jezik"), "Deutsch\0"s);
    key.access = RegAccess::AllAccess;
    EXPECT_EQ(store.SetValue(key, "Jezik", REG_SZ, "English\0"sv), RegStatus::AccessDenied);
    EXPECT_EQ(store.DeleteKey(kUser, "Software"), RegStatus::AccessDenied);
    EXPECT_EQ(tmp.Read("registry.reg"), content);

    // The store's folder would have to be made below a regular file.
    tmp.AddFile("plain-file");
    RegistryStore below(tmp / "plain-file/nomilo/registry.reg");
    EXPECT_EQ(below.CreateKey(kUser, "Software", key), RegStatus::AccessDenied);
    // Folders that do not exist yet are made on the first change.
    RegistryStore fresh(tmp / "new/nomilo/registry.reg");
    EXPECT_EQ(fresh.CreateKey(kUser, "Software", key), RegStatus::Ok);
}

TEST_F(RegistryStoreTest, LinkedStoreStaysLinked) {
    tmp.AddFolder("dotfiles");
    tmp.AddFile("dotfiles/registry.reg", "REGEDIT4\n");
    ASSERT_EQ(symlink((tmp / "dotfiles/registry.reg").c_str(), path.c_str()), 0);
    Create("Software");
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(tmp.Read("dotfiles/registry.reg").find("[HKEY_CURRENT_USER\\Software]"),
              std::string::npos);
}

TEST_F(RegistryStoreTest, ADeeplyNestedFileIsUsedAndKeptAsBadBeforeTheNextWrite) {
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrio\\Nomilo]\n"
                       "\"Jezik\"=\"Deutsch\"\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 200000; ++i)
        text += "\\k";
    text += "]\n";
    tmp.AddFile("registry.reg", text);
    const RegKey key = Create("Software\\Kestrio\\Nomilo");
    EXPECT_EQ(Text(key, "Jezik"), "Deutsch\0"s);
    ASSERT_EQ(store.SetValue(key, "Width", REG_SZ, "361\0"sv), RegStatus::Ok);
    EXPECT_EQ(tmp.Read("registry.reg.bad"), text);
    EXPECT_LT(tmp.Read("registry.reg").size(), 200u);

    // The store makes no key deeper than the registry allows.
    std::string tooDeep = "k";
    for (std::size_t i = 0; i < kMaxKeyDepth; ++i)
        tooDeep += "\\k";
    RegKey deep;
    EXPECT_EQ(store.CreateKey(kUser, tooDeep, deep), RegStatus::InvalidName);
    const std::string below = tooDeep.substr(3 * 2); // 510 keys below a key 3 deep
    EXPECT_EQ(store.CreateKey(key, below, deep), RegStatus::InvalidName);
    EXPECT_EQ(store.CreateKey(key, below.substr(2), deep), RegStatus::Ok);
}

TEST_F(RegistryStoreTest, AVersion5FileIsReadWholeAndWrittenBackAsTheUsualFormat) {
    tmp.AddFile("registry.reg", Utf16WithBom(kVersion5));
    const RegKey key = Create("Software\\Kestrio\\Nomilo");
    EXPECT_EQ(Text(key, "Naziv"), "Klju\xC4\x8D\0"s);
    ASSERT_EQ(store.SetValue(key, "Width", REG_SZ, "361\0"sv), RegStatus::Ok);
    EXPECT_FALSE(tmp.Names().contains("registry.reg.bad"));
    const std::string written = tmp.Read("registry.reg");
    EXPECT_EQ(written.substr(0, 9), "REGEDIT4\n");
    EXPECT_NE(written.find("\"Naziv\"=\"Klju\xC4\x8D\"\n"), std::string::npos);
    EXPECT_EQ(Text(key, "Jezik"), "Hrvatski\0"s);
}

TEST_F(RegistryStoreTest, AChangeRemovesTheTemporaryFilesOfAKilledWrite) {
    tmp.AddFile(".registry.reg.Ab12Cd", "half a store");
    tmp.AddFile(".registry.reg.longer1", "not ours");
    tmp.AddFile(".other.reg.Ab12Cd", "not ours");
    tmp.AddFolder(".registry.reg.Zz9Zz9");
    Create("Software");
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{".other.reg.Ab12Cd", ".registry.reg.Zz9Zz9",
                                                  ".registry.reg.longer1", "registry.reg",
                                                  "registry.reg.lock"}));
}

TEST_F(RegistryStoreTest, AFileChangedInPlaceRightAfterAReadIsSeen) {
    tmp.AddFile("registry.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"1\"\n");
    RegKey key;
    ASSERT_EQ(store.OpenKey(kUser, "A", RegAccess::Read, key), RegStatus::Ok);
    EXPECT_EQ(Text(key, "v"), "1\0"s);
    // The same file, size and (coarse) time: only its bytes tell.
    tmp.AddFile("registry.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"2\"\n");
    EXPECT_EQ(Text(key, "v"), "2\0"s);
}

TEST_F(RegistryStoreTest, ABatchIsOneChangeOfTheFile) {
    // What the file held each time the hook ran.
    std::vector<std::string> seen;
    store.SetChangeHook([&](RegRoot, const std::string&) { seen.push_back(tmp.Read("registry.reg")); });
    {
        RegistryStore::Batch batch(store);
        const RegKey key = Create("Software\\Kestrio\\Nomilo");
        ASSERT_EQ(store.SetValue(key, "Width", REG_SZ, "361\0"sv), RegStatus::Ok);
        ASSERT_EQ(store.SetValue(key, "Height", REG_SZ, "422\0"sv), RegStatus::Ok);
        EXPECT_EQ(Text(key, "Width"), "361\0"s); // the batch reads its own changes
        EXPECT_FALSE(tmp.Names().contains("registry.reg"));
        EXPECT_EQ(batch.Commit(), RegStatus::Ok);
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].find("\"Width\"=\"361\"\n\"Height\"=\"422\"\n"), std::string::npos);

    // A batch whose file cannot be written says so, and the store shows what is on disk.
    const RegKey key = Create("Software\\Kestrio\\Nomilo");
    RegistryStore::Batch failing(store);
    ASSERT_EQ(store.SetValue(key, "Top", REG_SZ, "102\0"sv), RegStatus::Ok);
    std::filesystem::remove(path);
    tmp.AddFolder("registry.reg"); // a folder is never replaced by a file
    EXPECT_EQ(failing.Commit(), RegStatus::StoreError);
    EXPECT_EQ(seen.size(), 1u);
}

TEST(RegistryStorePlace, FollowsTheConfigurationFolder) {
    const std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(RegistryStore::DefaultPath(), "/somewhere/config/nomilo/registry.reg");
    setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored
    EXPECT_EQ(RegistryStore::DefaultPath(), home + "/.config/nomilo/registry.reg");
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

} // namespace
} // namespace nomilo
