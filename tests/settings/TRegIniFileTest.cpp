#include "settings/TRegIniFile.h"

#include "settings/SettingsKeys.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace nomilo {
namespace {

using namespace std::literals;

class TRegIniFileTest : public ::testing::Test {
protected:
    void Put(const std::string& name, std::uint32_t kind, std::string_view data) {
        RegKey key;
        ASSERT_EQ(store.CreateKey(RegKey::Root(HKEY_CURRENT_USER), kSettingsKey, key),
                  RegStatus::Ok);
        ASSERT_EQ(store.SetValue(key, name, kind, data), RegStatus::Ok);
    }
    void PutText(const std::string& name, const std::string& text) {
        Put(name, REG_SZ, text + '\0');
    }
    // The stored kind and data, "(missing)" when there is no such value.
    std::string Stored(const std::string& name) {
        RegKey key;
        std::uint32_t kind = REG_NONE;
        std::string data;
        if (store.OpenKey(RegKey::Root(HKEY_CURRENT_USER), kSettingsKey, RegAccess::Read, key) !=
                RegStatus::Ok ||
            store.QueryValue(key, name, kind, data) != RegStatus::Ok)
            return "(missing)";
        return std::to_string(kind) + ":" + data;
    }

    test::TempFolder tmp;
    RegistryStore store{tmp / "registry.reg"};
};

TEST_F(TRegIniFileTest, NumbersConvertByTheStoredNumberRules) {
    const std::pair<const char*, int> cases[] = {
        {"0x200", 512},
        {"0X200", 512},
        {"$200", 512},
        {"$ff", 255},
        {" 300", 300},
        {"   -4", -4},
        {"+7", 7},
        {"0", 0},
        {"007", 7},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"2147483647", 2147483647},
        {"-2147483647", -2147483647},
        {"-2147483648", INT32_MIN},
        // Everything else gives the default.
        {"300px", 77},
        {"0x", 77},
        {"-0x10", 77},
        {"", 77},
        {" ", 77},
        {"-", 77},
        {"$", 77},
        {"-$10", 77},
        {"2147483648", 77},
        {"-2147483649", 77},
        {"$100000000", 77},
        {"300 ", 77},
        {"\t300", 77},
        {" 0x10", 77},
        {"1e3", 77},
        {"x10", 77},
    };
    for (const auto& [text, expected] : cases) {
        PutText("Width", text);
        TRegIniFile ini(kSettingsKey, store);
        EXPECT_EQ(ini.ReadNumber("Width", 77), expected) << '"' << text << '"';
    }
    // The text up to its zero byte is what converts.
    Put("Width", REG_SZ,
        "12\0"
        "34\0"sv);
    EXPECT_EQ(TRegIniFile(kSettingsKey, store).ReadNumber("Width", 77), 12);
}

TEST_F(TRegIniFileTest, FirstRunCreatesTheKeyAndEveryValueIsText) {
    TRegIniFile ini(kSettingsKey, store);
    EXPECT_EQ(ini.FileName(), kSettingsKey);
    EXPECT_EQ(Stored(kWidthValue), "(missing)");
    EXPECT_EQ(ini.ReadText(kLanguageValue, "English"), "English");
    EXPECT_EQ(ini.ReadNumber(kLeftValue, 241), 241);
    EXPECT_TRUE(ini.ReadFlag(kRenameSelValue, true));

    ini.WriteText(kLanguageValue, "Hrvatski");
    ini.WriteNumber(kLeftValue, -4);
    ini.WriteNumber(kFolderListWidthValue, 145);
    ini.WriteFlag(kRenameSelValue, false);
    EXPECT_EQ(Stored("Jezik"), "1:Hrvatski\0"s);
    EXPECT_EQ(Stored("Left"), "1:-4\0"s);
    EXPECT_EQ(Stored("DirectoryListBox1.Width"), "1:145\0"s);
    EXPECT_EQ(Stored("RenameSel"), "1:0\0"s);

    TRegIniFile again(kSettingsKey, store);
    EXPECT_EQ(again.ReadText(kLanguageValue, "English"), "Hrvatski");
    EXPECT_EQ(again.ReadNumber(kLeftValue, 0), -4);
    EXPECT_FALSE(again.ReadFlag(kRenameSelValue, true));
}

TEST_F(TRegIniFileTest, FlagsAndTextsFollowWhatIsStored) {
    PutText("RenameSel", "2");
    PutText("Jezik", "");
    TRegIniFile ini(kSettingsKey, store);
    EXPECT_TRUE(ini.ReadFlag("RenameSel", false));
    PutText("RenameSel", "yes");
    EXPECT_TRUE(ini.ReadFlag("RenameSel", true));
    EXPECT_FALSE(ini.ReadFlag("RenameSel", false));
    // An empty stored text is a text: the default is only for a missing value.
    EXPECT_EQ(ini.ReadText("Jezik", "English"), "");
    ini.WriteFlag("RenameSel", true);
    EXPECT_EQ(Stored("RenameSel"), "1:1\0"s);
}

TEST_F(TRegIniFileTest, ValueOfAnotherKindRaisesAndIsReplacedByTheNextWrite) {
    Put("Width", REG_DWORD, "\x00\x02\x00\x00"sv);
    TRegIniFile ini(kSettingsKey, store);
    ASSERT_TRUE(ini.CurrentKey());
    try {
        ini.ReadNumber("Width", 361);
        ADD_FAILURE() << "nothing raised";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Width'");
    }
    // The per-value opening is undone also when the read raises.
    EXPECT_EQ(ini.CurrentPath(), kSettingsKey);
    EXPECT_EQ(ini.CurrentKey()->path, kSettingsKey);
    ini.LeaveKey();
    EXPECT_THROW(ini.ReadText("Width", "x"), ERegistryException);
    EXPECT_FALSE(ini.CurrentKey());
    EXPECT_EQ(ini.CurrentPath(), "");

    ini.WriteNumber("Width", 512);
    EXPECT_EQ(Stored("Width"), "1:512\0"s);
    EXPECT_EQ(ini.ReadNumber("Width", 361), 512);
    EXPECT_FALSE(ini.CurrentKey());
}

TEST_F(TRegIniFileTest, StoreThatCannotBeWrittenIsStillRead) {
    PutText("Jezik", "Deutsch");
    // A folder in place of the lock file refuses every process, root included.
    std::filesystem::remove(tmp / "registry.reg.lock");
    tmp.AddFolder("registry.reg.lock");
    TRegIniFile ini(kSettingsKey, store);
    EXPECT_EQ(ini.ReadText(kLanguageValue, "English"), "Deutsch");
    try {
        ini.WriteText(kLanguageValue, "English");
        ADD_FAILURE() << "nothing raised";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to create key Software\\Kestrio\\Nomilo");
    }
    EXPECT_EQ(Stored("Jezik"), "1:Deutsch\0"s);

    // A key that can be neither opened nor created: every read gives its default, and the
    // values of the root are never read or written in its place.
    RegKey root = RegKey::Root(HKEY_CURRENT_USER);
    TRegIniFile missing("Software\\Other", store);
    EXPECT_EQ(missing.ReadText("Jezik", "English"), "English");
    EXPECT_EQ(missing.ReadNumber("Width", 361), 361);
    EXPECT_THROW(missing.WriteText("Jezik", "x"), ERegistryException);
    std::uint32_t kind = REG_NONE;
    std::string data;
    EXPECT_EQ(store.QueryValue(root, "Jezik", kind, data), RegStatus::NotFound);
}

TEST(TRegIniFileDefaultStore, LivesInTheUsersConfigurationFolder) {
    // CTest gives every test a configuration folder of the build's own.
    const std::string name = "DefaultStoreTest";
    {
        TRegIniFile ini(kSettingsKey);
        ini.WriteNumber(name, 42);
        EXPECT_EQ(ini.ReadNumber(name, 0), 42);
    }
    EXPECT_EQ(RegistryStore::Default().Path(), RegistryStore::DefaultPath());
    std::ifstream file(RegistryStore::DefaultPath());
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("\"" + name + "\"=\"42\""), std::string::npos) << text;
}

} // namespace
} // namespace nomilo
