#include "settings/TRegistry.h"

#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

using namespace std::literals;

class TRegistryTest : public ::testing::Test {
protected:
    // Stores a value of any kind directly, as another program (or a hand edit) would.
    void Put(const std::string& path, const std::string& name, std::uint32_t kind,
             std::string_view data, RegRoot root = HKEY_CURRENT_USER) {
        RegKey key;
        ASSERT_EQ(store.CreateKey(RegKey::Root(root), path, key), RegStatus::Ok);
        ASSERT_EQ(store.SetValue(key, name, kind, data), RegStatus::Ok);
    }
    bool Exists(const std::string& path, RegRoot root = HKEY_CURRENT_USER) {
        RegKey key;
        return store.OpenKey(RegKey::Root(root), path, RegAccess::Read, key) == RegStatus::Ok;
    }
    // The message of the ERegistryException `action` raises.
    template <typename Action> std::string Raised(Action action) {
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

TEST_F(TRegistryTest, EnterKeyResolvesPathsAgainstTheCurrentKeyOrTheRoot) {
    TRegistry reg(store);
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.LazyWrite());
    EXPECT_FALSE(reg.CurrentKey());

    ASSERT_TRUE(reg.EnterKey("Software\\Kestrio", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Kestrio");
    ASSERT_TRUE(reg.EnterKey("Nomilo", true)); // relative: below the current key
    EXPECT_EQ(reg.CurrentPath(), "Software\\Kestrio\\Nomilo");
    EXPECT_EQ(reg.CurrentKey()->path, "Software\\Kestrio\\Nomilo");
    EXPECT_TRUE(Exists("Software\\Kestrio\\Nomilo"));

    ASSERT_TRUE(reg.EnterKey("\\SOFTWARE", false)); // absolute: below the root
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");
    EXPECT_EQ(reg.CurrentKey()->path, "Software");
    ASSERT_TRUE(reg.EnterKey("", false)); // the current key itself
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");

    // A failed opening changes nothing; nor does creating below a bad path.
    EXPECT_FALSE(reg.EnterKey("Missing", false));
    EXPECT_FALSE(reg.EnterKey("Bad\\\\Name", true));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE");
    EXPECT_FALSE(Exists("Software\\Missing"));

    reg.LeaveKey();
    EXPECT_FALSE(reg.CurrentKey());
    EXPECT_EQ(reg.CurrentPath(), "");
    EXPECT_FALSE(reg.EnterKey("Kestrio", false)); // relative to the root now

    // Another root closes the current key; the same root keeps it.
    ASSERT_TRUE(reg.EnterKey("Software", false));
    reg.SelectRoot(HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.CurrentKey());
    reg.SelectRoot(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(reg.CurrentKey());
    EXPECT_FALSE(reg.HasKey("Software"));
    ASSERT_TRUE(reg.EnterKey("Folder\\shell\\Nomilo\\Command", true));
    EXPECT_TRUE(Exists("Folder\\shell\\Nomilo", HKEY_CLASSES_ROOT));
    EXPECT_FALSE(Exists("Folder"));
}

TEST_F(TRegistryTest, TextValuesAndTheirFailures) {
    Put("S", "Width", REG_DWORD, "\x00\x02\x00\x00"sv);
    Put("S", "Expand", REG_EXPAND_SZ, "%HOME%\\x\0"sv);
    Put("S", "Zero", REG_SZ, "ab\0cd\0"sv);
    Put("S", "Unterminated", REG_SZ, "abc"sv);
    Put("S", "Empty binary", REG_BINARY, ""sv);
    TRegistry reg(store);

    // No current key: nothing to set, nothing to read.
    EXPECT_EQ(Raised([&] { reg.PutText("Jezik", "English"); }), "Failed to set data for 'Jezik'");
    EXPECT_FALSE(reg.HasValue("Width"));
    EXPECT_EQ(reg.QueryText("Width"), "");

    ASSERT_TRUE(reg.EnterKey("S", false));
    EXPECT_TRUE(reg.HasValue("WIDTH"));
    EXPECT_EQ(Raised([&] { reg.QueryText("Width"); }), "Invalid data type for 'Width'");
    EXPECT_EQ(reg.QueryText("Expand"), "%HOME%\\x"); // never expanded
    EXPECT_EQ(reg.QueryText("Zero"), "ab");
    EXPECT_EQ(reg.QueryText("Unterminated"), "abc");
    EXPECT_EQ(reg.QueryText("Empty binary"), ""); // no data: empty, whatever the kind
    EXPECT_EQ(reg.QueryText("Missing"), "");

    reg.PutText("", "label");
    reg.PutText("Width", "a \"quoted\" C:\\path");
    reg.PutText("Line", "two\nlines");
    std::uint32_t kind = REG_NONE;
    std::string data;
    ASSERT_EQ(store.QueryValue(*reg.CurrentKey(), "Width", kind, data), RegStatus::Ok);
    EXPECT_EQ(kind, REG_SZ);
    EXPECT_EQ(data, "a \"quoted\" C:\\path\0"s);
    RegistryStore reread(store.Path()); // through the file
    ASSERT_EQ(reread.QueryValue(*reg.CurrentKey(), "Line", kind, data), RegStatus::Ok);
    EXPECT_EQ(data, "two\nlines\0"s);
    EXPECT_EQ(reg.QueryText(""), "label");
}

TEST_F(TRegistryTest, StoreThatCannotBeWrittenRefusesChangesAndStillReads) {
    Put("Software\\Kestrio\\Nomilo", "Jezik", REG_SZ, "Deutsch\0"sv);
    // A folder in place of the lock file refuses every process, root included.
    std::filesystem::remove(tmp / "registry.reg.lock");
    tmp.AddFolder("registry.reg.lock");
    TRegistry reg(store);
    EXPECT_EQ(Raised([&] { reg.MakeKey("Software\\New"); }), "Failed to create key Software\\New");
    EXPECT_FALSE(reg.EnterKey("Software\\Kestrio\\Nomilo", true));
    EXPECT_TRUE(reg.HasKey("Software\\Kestrio\\Nomilo")); // read-only, but there
    ASSERT_TRUE(reg.EnterKey("Software\\Kestrio\\Nomilo", false));
    EXPECT_EQ(reg.CurrentKey()->access, RegAccess::Read);
    EXPECT_EQ(reg.QueryText("Jezik"), "Deutsch");
    EXPECT_EQ(Raised([&] { reg.PutText("Jezik", "English"); }), "Failed to set data for 'Jezik'");
    EXPECT_FALSE(reg.RemoveKeyTree("\\Software"));
    EXPECT_TRUE(Exists("Software\\Kestrio\\Nomilo"));
}

TEST_F(TRegistryTest, RemoveKeyTreeLeavesNothingOfADeepTree) {
    for (const char* path : {"Folder\\shell\\Nomilo\\Command", "Folder\\shell\\Nomilo\\a\\b\\c",
                             "Folder\\shell\\Nomilo\\a\\d", "Folder\\shell\\Nomilo\\A2\\x",
                             "Folder\\shell\\Nomilo\\e", "Folder\\shell\\Other"})
        Put(path, "", REG_SZ, "v\0"sv, HKEY_CLASSES_ROOT);
    TRegistry reg(store);
    reg.SelectRoot(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.EnterKey("Folder", false));
    EXPECT_TRUE(reg.RemoveKeyTree("shell\\NOMILO"));
    EXPECT_FALSE(Exists("Folder\\shell\\Nomilo", HKEY_CLASSES_ROOT));
    EXPECT_TRUE(Exists("Folder\\shell\\Other", HKEY_CLASSES_ROOT));
    EXPECT_EQ(reg.CurrentPath(), "Folder"); // the current key is back
    EXPECT_EQ(reg.CurrentKey()->path, "Folder");
    EXPECT_FALSE(reg.RemoveKeyTree("\\Folder\\shell\\Nomilo")); // nothing left to remove

    // A path that names a root removes nothing.
    reg.LeaveKey();
    EXPECT_FALSE(reg.RemoveKeyTree(""));
    EXPECT_FALSE(reg.RemoveKeyTree("\\"));
    EXPECT_TRUE(Exists("Folder\\shell\\Other", HKEY_CLASSES_ROOT));
    // The current key itself, with an empty relative path.
    ASSERT_TRUE(reg.EnterKey("Folder\\shell", false));
    EXPECT_TRUE(reg.RemoveKeyTree(""));
    EXPECT_FALSE(Exists("Folder\\shell", HKEY_CLASSES_ROOT));
    EXPECT_TRUE(Exists("Folder", HKEY_CLASSES_ROOT));
}

} // namespace
} // namespace nomilo
