#include "settings/TRegIniFile.h"

#include "settings/SettingsKeys.h"
#include "tests/settings/StoreTest.h"

#include <fstream>
#include <iterator>

namespace nomilo {
namespace {

using namespace std::literals;

class TRegIniFileTest : public test::StoreTest {
protected:
    void PutText(const std::string& name, const std::string& text) {
        Put(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, text + '\0');
    }
    std::string Stored(const std::string& name) {
        return StoreTest::Stored(HKEY_CURRENT_USER, kSettingsKey, name);
    }
};

TEST(ConvertStoredNumber, FollowsTheStoredNumberRules) {
    const std::pair<const char*, int> cases[] = {
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
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ConvertStoredNumber(text, 77), expected) << '"' << text << '"';
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

TEST(TRegIniFileDefaultStore, LivesInTheUsersConfigurationFolder) {
    // CTest gives every test a configuration folder of the build's own.
    TRegIniFile(kSettingsKey).WriteNumber("DefaultStoreTest", 42);
    EXPECT_EQ(RegistryStore::Default().Path(), RegistryStore::DefaultPath());
    std::ifstream file(RegistryStore::DefaultPath());
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("\"DefaultStoreTest\"=\"42\""), std::string::npos) << text;
}

} // namespace
} // namespace nomilo
