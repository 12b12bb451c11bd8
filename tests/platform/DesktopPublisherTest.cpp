#include "platform/DesktopPublisher.h"

#include "tests/support/DesktopFile.h"
#include "tests/support/TempFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace nomilo {
namespace {

namespace fs = std::filesystem;
using Keys = std::map<std::string, std::string>;

constexpr const char* kProgram = "/opt/No milo/nomilo";
constexpr const char* kOddProgram = R"(/opt/a b/"q"/$x\y/nomilo)";

std::string CommandFor(const std::string& program) {
    return "\"" + program + "\" \"%L\"";
}

class DesktopPublisherTest : public ::testing::Test {
protected:
    void SetUp() override { PublishFolderVerbsOnChange(store, dataHome); }

    RegKey Key(const std::string& path, RegRoot root = HKEY_CLASSES_ROOT) {
        RegKey key;
        EXPECT_EQ(store.CreateKey(RegKey::Root(root), path, key), RegStatus::Ok) << path;
        return key;
    }
    void SetText(const std::string& path, const std::string& text,
                 RegRoot root = HKEY_CLASSES_ROOT) {
        ASSERT_EQ(store.SetValue(Key(path, root), "", REG_SZ, text + '\0'), RegStatus::Ok);
    }
    void Delete(const std::string& path) {
        ASSERT_EQ(store.DeleteKey(RegKey::Root(HKEY_CLASSES_ROOT), path), RegStatus::Ok);
    }
    std::string AppFile(const std::string& verb = "Nomilo") const {
        return dataHome + "/applications/" + FolderVerbFileName(verb);
    }
    std::string MenuFile(const std::string& verb = "Nomilo") const {
        return dataHome + "/kio/servicemenus/" + FolderVerbFileName(verb);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The groups of a generated file, every value unescaped.
    static test::DesktopGroups Groups(const std::string& path) {
        std::optional<test::DesktopGroups> groups = test::ParseDesktopFile(Read(path));
        EXPECT_TRUE(groups) << path;
        if (!groups)
            return {};
        for (auto& [name, keys] : *groups)
            for (auto& [key, value] : keys)
                value = test::UnescapeDesktopString(value).value_or("(bad escape)");
        return *groups;
    }
    // Every file and link below the data folder, with its mode and content or link target.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dataHome)) {
            const std::string name = entry.path().lexically_relative(dataHome).string();
            struct stat st {};
            lstat(entry.path().c_str(), &st);
            if (entry.is_symlink())
                files[name] = "link to " + fs::read_symlink(entry.path()).string();
            else if (entry.is_regular_file())
                files[name] = std::to_string(st.st_mode & 07777) + ":" + Read(entry.path());
        }
        return files;
    }

    test::TempFolder tmp;
    RegistryStore store{tmp / "registry.reg"};
    std::string dataHome = tmp / "data";
};

TEST_F(DesktopPublisherTest, PublishesBothEntriesOfAVerbAndFollowsItsChanges) {
    SetText("Folder\\shell\\Nomilo\\Command", CommandFor(kProgram));
    SetText("Folder\\shell\\Nomilo", "No&milo");

    const std::string exec = R"("/opt/No milo/nomilo" %f)";
    EXPECT_EQ(Groups(AppFile()),
              (test::DesktopGroups{{"Desktop Entry", Keys{{"Type", "Application"},
                                                          {"Name", "Nomilo"},
                                                          {"Exec", exec},
                                                          {"MimeType", "inode/directory;"},
                                                          {"NoDisplay", "true"},
                                                          {"X-Nomilo-Generated", "true"}}}}));
    EXPECT_EQ(
        Groups(MenuFile()),
        (test::DesktopGroups{{"Desktop Entry", Keys{{"Type", "Service"},
                                                    {"Name", "Nomilo"},
                                                    {"MimeType", "inode/directory;"},
                                                    {"Actions", "open;"},
                                                    {"X-KDE-ServiceTypes", "KonqPopupMenu/Plugin"},
                                                    {"X-KDE-Priority", "TopLevel"},
                                                    {"X-Nomilo-Generated", "true"}}},
                             {"Desktop Action open",
                              Keys{{"Name", "No&milo"}, {"Icon", "nomilo"}, {"Exec", exec}}}}));
    struct stat st {};
    ASSERT_EQ(stat(AppFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ASSERT_EQ(stat(MenuFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u); // KDE runs only executable service menus

    // An empty label shows the verb's name; a literal "&" of the name is kept in the menu.
    SetText("Folder\\shell\\A&B\\Command", "tool %1");
    EXPECT_EQ(Groups(AppFile("A&B"))["Desktop Entry"]["Name"], "A&B");
    EXPECT_EQ(Groups(MenuFile("A&B"))["Desktop Action open"]["Name"], "A&&B");
    EXPECT_EQ(Groups(MenuFile("A&B"))["Desktop Action open"]["Exec"], R"("tool" %f)");

    SetText("Folder\\shell\\Nomilo", "Drostel");
    EXPECT_EQ(Groups(AppFile())["Desktop Entry"]["Name"], "Drostel");
    EXPECT_EQ(Groups(MenuFile())["Desktop Action open"]["Name"], "Drostel");

    // A verb without a command, or with an empty one, has no files.
    SetText("Folder\\shell\\Nomilo\\Command", "");
    EXPECT_FALSE(fs::exists(AppFile()));
    EXPECT_FALSE(fs::exists(MenuFile()));
    EXPECT_TRUE(fs::exists(MenuFile("A&B")));
    SetText("Folder\\shell\\Nomilo\\Command", CommandFor(kOddProgram));
    const auto arguments = test::ParseExec(Groups(MenuFile())["Desktop Action open"]["Exec"]);
    EXPECT_EQ(arguments, (std::vector<test::ExecArgument>{{kOddProgram}, {"%f", true}}));
    Delete("Folder\\shell\\A&B\\Command");
    EXPECT_FALSE(fs::exists(AppFile("A&B")));
    EXPECT_FALSE(fs::exists(MenuFile("A&B")));
    EXPECT_TRUE(fs::exists(MenuFile()));
}

TEST_F(DesktopPublisherTest, TouchesNothingButItsOwnFiles) {
    const std::string marker = "[Desktop Entry]\nType=Application\nX-Nomilo-Generated=true\n";
    tmp.AddFolder("data");
    tmp.AddFolder("data/applications");
    tmp.AddFolder("data/kio");
    tmp.AddFolder("data/kio/servicemenus");
    tmp.AddFile("data/applications/mimeapps.list", "[Default Applications]\n");
    tmp.AddFile("data/applications/other.desktop", marker);
    // The user's own file by the very name of the verb's entry: not ours, so never replaced.
    tmp.AddFile("data/applications/nomilo-folder-Nomilo.desktop", "[Desktop Entry]\nName=Mine\n");
    tmp.AddFile("data/kio/servicemenus/nomilo-folder-Old.desktop", "[Desktop Entry]\n");
    tmp.AddFile("data/kio/servicemenus/nomilo-folder-Stale.desktop", marker);
    tmp.AddFile("elsewhere.desktop", marker);
    fs::create_symlink(tmp / "elsewhere.desktop",
                       tmp / "data/applications/nomilo-folder-L.desktop");
    auto expected = Snapshot();

    SetText("Folder\\shell\\Nomilo\\Command", CommandFor(kProgram));
    EXPECT_FALSE(DesktopPublisher(dataHome).Publish(store)); // one entry could not be written
    expected.erase("kio/servicemenus/nomilo-folder-Stale.desktop");
    auto now = Snapshot();
    ASSERT_EQ(now.count("kio/servicemenus/nomilo-folder-Nomilo.desktop"), 1u);
    now.erase("kio/servicemenus/nomilo-folder-Nomilo.desktop");
    EXPECT_EQ(now, expected);

    Delete("Folder\\shell\\Nomilo\\Command");
    EXPECT_EQ(Snapshot(), expected);
    EXPECT_EQ(tmp.Read("elsewhere.desktop"), marker);
}

TEST_F(DesktopPublisherTest, OnlyFolderVerbChangesPublishAndAnUnreadableStoreDeletesNothing) {
    SetText("Folder\\shell\\Nomilo\\Command", CommandFor(kProgram), HKEY_CURRENT_USER);
    SetText("Directory\\shell\\Nomilo\\Command", CommandFor(kProgram));
    SetText("Folder\\shellex\\Nomilo\\Command", CommandFor(kProgram));
    EXPECT_FALSE(fs::exists(dataHome)); // nothing to publish makes no data folder

    SetText("FOLDER\\Shell\\Nomilo\\Command", CommandFor(kProgram));
    ASSERT_TRUE(fs::exists(AppFile()));
    fs::rename(tmp / "registry.reg", tmp / "saved.reg");
    tmp.AddFolder("registry.reg");
    EXPECT_FALSE(DesktopPublisher(dataHome).Publish(store));
    EXPECT_TRUE(fs::exists(AppFile()));
    EXPECT_TRUE(fs::exists(MenuFile()));
}

TEST(DesktopDataHomeTest, ComesFromTheEnvironment) {
    const std::string savedData = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(DesktopDataHome(), "/srv/data");
    setenv("XDG_DATA_HOME", "relative/data", 1); // not absolute: ignored
    EXPECT_EQ(DesktopDataHome(), home + "/.local/share");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(DesktopDataHome(), home + "/.local/share");
    if (!savedData.empty())
        setenv("XDG_DATA_HOME", savedData.c_str(), 1);
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
        SetText("Folder\\shell\\Nomilo\\Command", CommandFor(program));
        SetText("Folder\\shell\\Nomilo", "No&milo");
        EXPECT_EQ(Validate(AppFile()), "") << program;

        // A KDE service menu needs MimeType and Actions, which the validator allows only in
        // applications: its only complaints. The same file as an application passes whole.
        const std::string menu = MenuFile();
        std::istringstream report(Validate(menu));
        std::vector<std::string> complaints;
        for (std::string line; std::getline(report, line);) {
            const std::size_t start = line.find(": error: key ");
            const bool forService = line.find("the type is \"Service\"") != std::string::npos;
            complaints.push_back(
                start == std::string::npos || !forService
                    ? line
                    : line.substr(start + 13, line.find(' ', start + 13) - start - 13));
        }
        EXPECT_EQ(complaints, (std::vector<std::string>{"\"MimeType\"", "\"Actions\""})) << program;
        std::string asApplication = Read(menu);
        asApplication.replace(asApplication.find("Type=Service"), 12, "Type=Application");
        tmp.AddFile("as-application.desktop", asApplication);
        EXPECT_EQ(Validate(tmp / "as-application.desktop"), "") << program;
    }
}

} // namespace
} // namespace nomilo
