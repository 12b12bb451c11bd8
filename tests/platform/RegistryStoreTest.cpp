#include "platform/RegistryStore.h"

#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace nomilo {
namespace {

using namespace std::literals;

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

TEST_F(RegistryStoreTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    const RegKey key = Create("Software\\Kestrio\\Nomilo");
    EXPECT_EQ(key.path, "Software\\Kestrio\\Nomilo");
    const RegKey again = Create("SOFTWARE\\kestrio\\NOMILO\\Sub");
    EXPECT_EQ(again.path, "Software\\Kestrio\\Nomilo\\Sub");

    ASSERT_EQ(store.SetValue(key, "Width", REG_SZ, "361\0"sv), RegStatus::Ok);
    ASSERT_EQ(store.SetValue(key, "WIDTH", REG_DWORD, "\x01\x00\x00\x00"sv), RegStatus::Ok);
    RegValueInfo info;
    ASSERT_EQ(store.QueryValueInfo(key, "width", info), RegStatus::Ok);
    EXPECT_EQ(info.kind, REG_DWORD);
    EXPECT_EQ(info.size, 4u);
    EXPECT_NE(tmp.Read("registry.reg").find("\"Width\"=dword:00000001"), std::string::npos);

    // Another store object on the same file sees every change at once.
    RegistryStore other(path);
    RegKey opened;
    ASSERT_EQ(other.OpenKey(RegKey::Root(HKEY_CURRENT_USER), "software\\KESTRIO\\nomilo",
                            RegAccess::Read, opened),
              RegStatus::Ok);
    EXPECT_EQ(opened.path, "Software\\Kestrio\\Nomilo");
    EXPECT_EQ(other.OpenKey(RegKey::Root(HKEY_CLASSES_ROOT), "Software", RegAccess::Read, opened),
              RegStatus::NotFound);
    EXPECT_EQ(store.CreateKey(RegKey::Root(HKEY_CURRENT_USER), "A\\\\B", opened),
              RegStatus::InvalidName);
    EXPECT_EQ(store.SetValue(key, "line\nbreak", REG_SZ, "x"), RegStatus::InvalidName);
}

TEST_F(RegistryStoreTest, KeysEnumerateInNameOrderAndDeleteOneByOne) {
    const RegKey top = Create("Top");
    Create("Top\\beta\\deeper");
    Create("Top\\Alpha");
    Create("Top\\gamma-long-name");
    RegKeyInfo info;
    ASSERT_EQ(store.QueryInfoKey(top, info), RegStatus::Ok);
    EXPECT_EQ(info.subkeys, 3u);
    EXPECT_EQ(info.maxSubkeyNameLength, 15u);
    std::vector<std::string> names;
    std::string name;
    for (std::size_t i = 0; store.EnumKey(top, i, name) == RegStatus::Ok; ++i)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma-long-name"}));

    // A key with subkeys is not deleted by the single delete, nor is a root.
    EXPECT_EQ(store.DeleteKey(top, "beta"), RegStatus::AccessDenied);
    EXPECT_EQ(store.DeleteKey(RegKey::Root(HKEY_CURRENT_USER), ""), RegStatus::AccessDenied);
    EXPECT_EQ(store.DeleteKey(top, "BETA\\Deeper"), RegStatus::Ok);
    EXPECT_EQ(store.DeleteKey(top, "beta"), RegStatus::Ok);
    EXPECT_EQ(store.DeleteKey(top, "beta"), RegStatus::NotFound);

    // A handle whose key went answers so.
    const RegKey alpha = Create("Top\\Alpha");
    ASSERT_EQ(store.DeleteKey(alpha, ""), RegStatus::Ok);
    EXPECT_EQ(store.SetValue(alpha, "x", REG_SZ, "1\0"sv), RegStatus::KeyDeleted);
    EXPECT_EQ(store.QueryInfoKey(alpha, info), RegStatus::KeyDeleted);
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
    const RegKey command = Create("Folder\\shell\\Nomilo\\Command", HKEY_CLASSES_ROOT);
    Create("folder\\SHELL", HKEY_CLASSES_ROOT); // exists already: no change
    ASSERT_EQ(store.SetValue(command, "", REG_SZ, "cmd\0"sv), RegStatus::Ok);
    ASSERT_EQ(store.SetValue(command, "", REG_SZ, "cmd\0"sv), RegStatus::Ok); // same data
    ASSERT_EQ(store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), "folder\\shell\\nomilo\\command"),
              RegStatus::Ok);
    EXPECT_EQ(store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), "Folder"), RegStatus::AccessDenied);
    const std::string command_path = "Folder\\shell\\Nomilo\\Command";
    EXPECT_EQ(calls, (std::vector<std::tuple<RegRoot, std::string, bool>>{
                         {HKEY_CLASSES_ROOT, command_path, true},
                         {HKEY_CLASSES_ROOT, command_path, true},
                         {HKEY_CLASSES_ROOT, command_path, true},
                         {HKEY_CLASSES_ROOT, command_path, false}}));
}

TEST_F(RegistryStoreTest, DamagedFileIsUsedAndKeptBesideBeforeAWrite) {
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Kept]\n\"a\"=\"1\"\n"
                                "[HKEY_CURRENT_USER\\Lost\n\"b\"=\"2\"\n\"c\"=\"3";
    tmp.AddFile("registry.reg", damaged);
    RegKey kept;
    ASSERT_EQ(store.OpenKey(RegKey::Root(HKEY_CURRENT_USER), "Kept", RegAccess::AllAccess, kept),
              RegStatus::Ok);
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
    ASSERT_EQ(store.SetValue(RegKey::Root(HKEY_CURRENT_USER), "f", REG_SZ, "6\0"sv), RegStatus::Ok);
    EXPECT_EQ(tmp.Read("registry.reg.bad"), damaged);
    EXPECT_EQ(tmp.Read("registry.reg.bad.2"), "\x7f"
                                              "ELF garbage\n");
    EXPECT_EQ(Text(RegKey::Root(HKEY_CURRENT_USER), "f"), "6\0"s);
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
                ok = ok && own.CreateKey(RegKey::Root(HKEY_CURRENT_USER),
                                         "Shared\\" + std::string(who) + std::to_string(i % 3),
                                         key) == RegStatus::Ok;
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
            ASSERT_EQ(store.OpenKey(RegKey::Root(HKEY_CURRENT_USER),
                                    "Shared\\" + who + std::to_string(i % 3), RegAccess::Read, key),
                      RegStatus::Ok);
            EXPECT_EQ(Text(key, who + std::to_string(i)), std::to_string(i) + '\0');
        }
    // No temporary file is left behind.
    EXPECT_EQ(tmp.Names(), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(RegistryStoreTest, StoreThatCannotBeWrittenFailsChangesAndStillReads) {
    // The lock file cannot be opened for writing (a folder is in its place): this refuses
    // every process, root included.
    const std::string content =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"Jezik\"=\"Deutsch\"\n";
    tmp.AddFile("registry.reg", content);
    tmp.AddFolder("registry.reg.lock");
    EXPECT_FALSE(store.Writable());
    RegKey key;
    EXPECT_EQ(store.CreateKey(RegKey::Root(HKEY_CURRENT_USER), "Software", key),
              RegStatus::AccessDenied);
    EXPECT_EQ(store.OpenKey(RegKey::Root(HKEY_CURRENT_USER), "Software", RegAccess::AllAccess, key),
              RegStatus::AccessDenied);
    ASSERT_EQ(store.OpenKey(RegKey::Root(HKEY_CURRENT_USER), "Software", RegAccess::Read, key),
              RegStatus::Ok);
    EXPECT_EQ(Text(key, "Jezik"), "Deutsch\0"s);
    key.access = RegAccess::AllAccess;
    EXPECT_EQ(store.SetValue(key, "Jezik", REG_SZ, "English\0"sv), RegStatus::AccessDenied);
    EXPECT_EQ(store.DeleteKey(RegKey::Root(HKEY_CURRENT_USER), "Software"),
              RegStatus::AccessDenied);
    EXPECT_EQ(tmp.Read("registry.reg"), content);

    // The store's folder would have to be made below a regular file.
    tmp.AddFile("plain-file");
    RegistryStore below(tmp / "plain-file/nomilo/registry.reg");
    EXPECT_FALSE(below.Writable());
    EXPECT_EQ(below.CreateKey(RegKey::Root(HKEY_CURRENT_USER), "Software", key),
              RegStatus::AccessDenied);
    EXPECT_EQ(below.OpenKey(RegKey::Root(HKEY_CURRENT_USER), "", RegAccess::AllAccess, key),
              RegStatus::AccessDenied);

    // A store in folders that do not exist yet is writable: they are made on the first change.
    RegistryStore fresh(tmp / "new/nomilo/registry.reg");
    EXPECT_TRUE(fresh.Writable());
    EXPECT_EQ(fresh.CreateKey(RegKey::Root(HKEY_CURRENT_USER), "Software", key), RegStatus::Ok);
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

TEST(RegistryStorePlace, FollowsTheConfigurationFolder) {
    // Sets or removes an environment variable until the end of the test.
    struct SavedVariable {
        explicit SavedVariable(const char* name) : name(name) {
            if (const char* value = std::getenv(name))
                saved = value;
        }
        ~SavedVariable() {
            if (saved)
                setenv(name, saved->c_str(), 1);
            else
                unsetenv(name);
        }
        const char* name;
        std::optional<std::string> saved;
    };
    SavedVariable config("XDG_CONFIG_HOME"), home("HOME");
    setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(RegistryStore::DefaultPath(), "/somewhere/config/nomilo/registry.reg");
    setenv("HOME", "/home/ann", 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegistryStore::DefaultPath(), "/home/ann/.config/nomilo/registry.reg");
    setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored
    EXPECT_EQ(RegistryStore::DefaultPath(), "/home/ann/.config/nomilo/registry.reg");
}

} // namespace
} // namespace nomilo
