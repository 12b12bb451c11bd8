#include "settings/ShellVerb.h"

#include "tests/settings/StoreTest.h"

namespace nomilo {
namespace {

class ShellVerbTest : public test::StoreTest {
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

} // namespace
} // namespace nomilo
