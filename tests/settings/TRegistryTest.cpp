#include "settings/TRegistry.h"

#include "tests/settings/StoreTest.h"

namespace nomilo {
namespace {

using namespace std::literals;

class TRegistryTest : public test::StoreTest {};

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

} // namespace
} // namespace nomilo
