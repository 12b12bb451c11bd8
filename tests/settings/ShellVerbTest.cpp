#include "settings/ShellVerb.h"

#include "platform/DesktopPublisher.h"
#include "settings/ERegistryException.h"
#include "tests/support/DesktopFile.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

namespace fs = std::filesystem;

class ShellVerbTest : public ::testing::Test {
protected:
    // The default value of a key below HKEY_CLASSES_ROOT, "(no key)" or "(no value)".
    std::string Text(const std::string& path) {
        RegKey key;
        if (store.OpenKey(RegKey::Root(HKEY_CLASSES_ROOT), path, RegAccess::Read, key) !=
            RegStatus::Ok)
            return "(no key)";
        std::uint32_t kind = REG_NONE;
        std::string data;
        if (store.QueryValue(key, "", kind, data) != RegStatus::Ok)
            return "(no value)";
        EXPECT_EQ(kind, REG_SZ);
        EXPECT_EQ(data.back(), '\0');
        return data.substr(0, data.size() - 1);
    }
    void Create(const std::string& path) {
        RegKey key;
        ASSERT_EQ(store.CreateKey(RegKey::Root(HKEY_CLASSES_ROOT), path, key), RegStatus::Ok);
    }
    void Delete(const std::string& path) { store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), path); }
    void MakeUnwritable() {
        fs::remove(tmp / "registry.reg.lock");
        tmp.AddFolder("registry.reg.lock");
    }
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

TEST_F(ShellVerbTest, InstallWritesTheCaptionAndExitWritesTheShellLabel) {
    struct Case {
        const char* caption;
        const char* shellLabel;
    };
    for (const Case& c : {Case{"Nomilo", "No&milo"}, Case{"Drostel", "No&milo"},
                          Case{"Velkaro", "Vel&karo"}, Case{"Nomilo", ""}}) {
        InstallShellVerb("/usr/bin/nomilo", c.caption, store);
        EXPECT_EQ(Text("Folder\\shell\\Nomilo"), c.caption);
        EXPECT_EQ(Text("Folder\\shell\\Nomilo\\Command"), R"("/usr/bin/nomilo" "%L")");
        EXPECT_TRUE(ShellVerbInstalled(store));
        RelabelShellVerb(c.shellLabel, store);
        EXPECT_EQ(Text("Folder\\shell\\Nomilo"), c.shellLabel);
    }

    // Installing from a copy elsewhere repairs the path.
    InstallShellVerb("/home/ann/bin/nomilo", "Nomilo", store);
    EXPECT_EQ(Text("Folder\\shell\\Nomilo\\Command"), R"("/home/ann/bin/nomilo" "%L")");
}

TEST_F(ShellVerbTest, RemovalTakesTheWholeVerbAndNothingElse) {
    RemoveShellVerb(store); // nothing installed: nothing happens, nothing is created
    EXPECT_EQ(Text("Folder"), "(no key)");
    EXPECT_FALSE(ShellVerbInstalled(store));

    Create("Folder\\shell\\Other\\Command");
    InstallShellVerb("/usr/bin/nomilo", "Nomilo", store);
    Create("Folder\\shell\\Nomilo\\Command\\Extra");
    RemoveShellVerb(store);
    EXPECT_FALSE(ShellVerbInstalled(store));
    EXPECT_EQ(Text("Folder\\shell\\Nomilo"), "(no key)");
    EXPECT_EQ(Text("Folder\\shell\\Other\\Command"), "(no value)");
}

TEST_F(ShellVerbTest, AVerbKeyWithoutCommandIsRelabelledButNotRemovable) {
    RelabelShellVerb("No&milo", store); // not installed: never created at exit
    EXPECT_EQ(Text("Folder"), "(no key)");

    Create("Folder\\shell\\Nomilo");
    EXPECT_FALSE(ShellVerbInstalled(store));
    RelabelShellVerb("Vel&karo", store);
    EXPECT_EQ(Text("Folder\\shell\\Nomilo"), "Vel&karo");
    EXPECT_EQ(Text("Folder\\shell\\Nomilo\\Command"), "(no key)");
}

TEST_F(ShellVerbTest, AStoreThatCannotBeWrittenIsReportedAndKeepsWhatItHas) {
    MakeUnwritable();
    EXPECT_EQ(Raised([&] { InstallShellVerb("/usr/bin/nomilo", "Nomilo", store); }),
              "Failed to set data for ''");
    EXPECT_EQ(Text("Folder"), "(no key)");

    fs::remove(tmp / "registry.reg.lock");
    InstallShellVerb("/usr/bin/nomilo", "Nomilo", store);
    MakeUnwritable();
    EXPECT_EQ(Raised([&] { RelabelShellVerb("No&milo", store); }), "Failed to set data for ''");
    RemoveShellVerb(store); // refused silently
    EXPECT_TRUE(ShellVerbInstalled(store));
    EXPECT_EQ(Text("Folder\\shell\\Nomilo"), "Nomilo");
}

// Another instance removes the verb while this one installs it: after the command key is made
// (the command cannot be stored) or after the command is stored (the label cannot be). The
// install then removes what it created, but not a verb another instance added meanwhile.
TEST_F(ShellVerbTest, AnInstallThatFailsHalfWayLeavesNothingNew) {
    struct Case {
        int event; // the change of the command key after which the verb goes
        const char* verbBefore;
        const char* verbMeanwhile;
    };
    for (const Case& c :
         {Case{1, nullptr, nullptr}, Case{2, nullptr, nullptr}, Case{1, "Other", nullptr},
          Case{2, "Other", nullptr}, Case{2, nullptr, "Late"}}) {
        SCOPED_TRACE(c.event);
        test::TempFolder folder;
        RegistryStore local(folder / "registry.reg");
        const auto create = [&](const std::string& path) {
            RegKey key;
            return local.CreateKey(RegKey::Root(HKEY_CLASSES_ROOT), path, key);
        };
        const auto exists = [&](const std::string& path) {
            RegKey key;
            return local.OpenKey(RegKey::Root(HKEY_CLASSES_ROOT), path, RegAccess::Read, key) ==
                   RegStatus::Ok;
        };
        if (c.verbBefore) {
            ASSERT_EQ(create(std::string("Folder\\shell\\") + c.verbBefore), RegStatus::Ok);
        }
        int events = 0;
        local.SetChangeHook([&](RegRoot, const std::string& path) {
            if (path == kShellCommandKey && ++events == c.event) {
                local.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), kShellCommandKey);
                local.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), kShellVerbKey);
                if (c.verbMeanwhile)
                    create(std::string("Folder\\shell\\") + c.verbMeanwhile);
            }
        });
        EXPECT_EQ(Raised([&] { InstallShellVerb("/usr/bin/nomilo", "Nomilo", local); }),
                  "Failed to set data for ''");
        EXPECT_EQ(exists("Folder"), c.verbBefore || c.verbMeanwhile);
        EXPECT_FALSE(exists(kShellVerbKey));
        if (c.verbBefore) {
            EXPECT_TRUE(exists(std::string("Folder\\shell\\") + c.verbBefore));
        }
        if (c.verbMeanwhile) {
            EXPECT_TRUE(exists(std::string("Folder\\shell\\") + c.verbMeanwhile));
        }
    }
}

TEST_F(ShellVerbTest, InstallAndRemovalPublishToTheDesktop) {
    const std::string dataHome = tmp / "data";
    PublishFolderVerbsOnChange(store, dataHome);
    const std::string program = R"(/home/ann/my "tools"/$HOME\nomilo)";
    InstallShellVerb(program, "Nomilo", store);
    RelabelShellVerb("No&milo", store);

    const std::string app = dataHome + "/applications/nomilo-folder-Nomilo.desktop";
    const std::string menu = dataHome + "/kio/servicemenus/nomilo-folder-Nomilo.desktop";
    const auto groups =
        test::ParseDesktopFile(tmp.Read("data/kio/servicemenus/" + FolderVerbFileName("Nomilo")));
    ASSERT_TRUE(groups);
    const auto action = groups->at("Desktop Action open");
    EXPECT_EQ(action.at("Name"), "No&milo");
    const auto exec = test::UnescapeDesktopString(action.at("Exec"));
    ASSERT_TRUE(exec);
    EXPECT_EQ(test::ParseExec(*exec), (std::vector<test::ExecArgument>{{program}, {"%f", true}}));
    EXPECT_TRUE(fs::exists(app));

    RemoveShellVerb(store);
    EXPECT_FALSE(fs::exists(app));
    EXPECT_FALSE(fs::exists(menu));
}

} // namespace
} // namespace nomilo
