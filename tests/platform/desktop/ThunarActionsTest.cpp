#include "platform/desktop/DesktopPublisher.h"
#include "platform/desktop/internal/ThunarActions.h"
#include "tests/support/TempFolder.h"

#include <cstdio>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace nomilo {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// A user's actions file in another layout than Thunar's, with what an editor must keep.
constexpr const char* kForeign = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE actions [ <!ELEMENT actions (action)+> ]>
<!-- my actions -->
<actions>
  <action>
    <name>Mine &amp; yours</name>
    <unique-id>1614878766011370-1</unique-id>
    <command>echo "%f" &gt; /tmp/x</command>
    <directories/>
  </action>
  <action><name>Old</name><unique-id>nomilo-folder-Gone</unique-id></action>
  <action>
    <name>Last</name><unique-id>2-1</unique-id>
  </action>
</actions>
)";

ThunarAction Ours(const std::string& verb, const std::string& name) {
    return {"nomilo-folder-" + verb, "<action>\n\t<name>" + name + "</name>\n\t<unique-id>" +
                                         "nomilo-folder-" + verb + "</unique-id>\n</action>\n"};
}

TEST(ThunarActionsTest, OurActionsAreReplacedWhereTheyStandAndEverythingElseKeepsItsBytes) {
    const std::string text = kForeign;
    const std::string first = text.substr(0, text.find("  <action><name>Old"));
    const std::string last = text.substr(text.find("  <action>\n    <name>Last"));
    // Ours that is no longer wanted goes with its line; a new one comes before </actions>.
    ThunarEdit edit = EditThunarActions(text, {Ours("Nomilo", "Nomilo")});
    ASSERT_TRUE(edit.text) << edit.damage;
    EXPECT_EQ(*edit.text, first + last.substr(0, last.size() - 11) + Ours("Nomilo", "Nomilo").xml +
                              "</actions>\n");
    // Relabelled in place; removed again, the file is as it was without ours.
    ThunarEdit again = EditThunarActions(*edit.text, {Ours("Nomilo", "Velkaro")});
    ASSERT_TRUE(again.text);
    EXPECT_THAT(*again.text, HasSubstr("<name>Velkaro</name>"));
    EXPECT_EQ(again.text->size(), edit.text->size() + 1);
    EXPECT_EQ(EditThunarActions(*again.text, {}).text, first + last);

    // An action inside a line keeps the line; an empty <actions/> opens.
    EXPECT_EQ(EditThunarActions("<actions><action><unique-id>nomilo-folder-A</unique-id></action>"
                                "<action/></actions>",
                                {Ours("A", "x")})
                  .text,
              "<actions>" + Ours("A", "x").xml.substr(0, Ours("A", "x").xml.size() - 1) +
                  "<action/></actions>");
    EXPECT_EQ(EditThunarActions("<actions a='1'/>", {Ours("A", "x")}).text,
              "<actions a='1'>\n" + Ours("A", "x").xml + "</actions >");
}

// Whatever the user's file looks like, publishing and then removing (or relabelling first)
// gives it back byte for byte.
TEST(ThunarActionsTest, InstallingAndRemovingGivesTheUsersFileBackByteForByte) {
    const std::string foreign = kForeign;
    const std::string files[] = {
        foreign.substr(0, foreign.find("  <action><name>Old")) +
            foreign.substr(foreign.find("  <action>\n    <name>Last")),
        "<actions><action><unique-id>1-1</unique-id></action></actions>",
        "<actions/>",
        "<?xml version=\"1.0\"?>\n<actions a='1' />\n",
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n",
        "<actions>\r\n<action><unique-id>1-1</unique-id></action>\r\n</actions>\r\n",
        "<actions>\n  </actions><!-- end -->",
        "<actions>\n<action><unique-id>1-1</unique-id></action>  </actions>",
        "<actions></actions>",
    };
    for (const std::string& file : files) {
        const ThunarEdit installed = EditThunarActions(file, {Ours("A", "x"), Ours("B", "y")});
        ASSERT_TRUE(installed.text) << file << ": " << installed.damage;
        EXPECT_THAT(*installed.text, HasSubstr("nomilo-folder-B"));
        const ThunarEdit relabelled = EditThunarActions(*installed.text, {Ours("B", "z")});
        ASSERT_TRUE(relabelled.text) << file;
        EXPECT_EQ(EditThunarActions(*relabelled.text, {}).text, file);
        EXPECT_EQ(EditThunarActions(*installed.text, {}).text, file);
    }
    // The one exception: an element the user closed the way ours is closed looks opened by us.
    EXPECT_EQ(EditThunarActions(*EditThunarActions("<actions>\n</actions >", {Ours("A", "x")}).text,
                                {})
                  .text,
              "<actions/>");
    // The actions for files are ours as well.
    EXPECT_EQ(EditThunarActions("<actions>\n<action><unique-id>nomilo-files-A</unique-id>"
                                "</action>\n</actions>\n",
                                {})
                  .text,
              "<actions>\n</actions>\n");
}

TEST(ThunarActionsTest, ADamagedFileIsToldApart) {
    for (const std::string text :
         {"<actions><action></actions>", "<action></action>", "<actions>\xff</actions>",
          "<actions>&nbsp;</actions>", "", "<actions></actions><actions/>"}) {
        const ThunarEdit edit = EditThunarActions(text, {Ours("A", "x")});
        EXPECT_FALSE(edit.text) << text;
        EXPECT_FALSE(edit.damage.empty()) << text;
    }
}

class ThunarPublishingTest : public ::testing::Test {
protected:
    void Publish(const std::string& program) {
        failures = DesktopPublisher(places).Publish({{"Nomilo", "No&milo", "\"" + program + "\" %1"}});
    }
    test::TempFolder tmp{"etc/Thunar/", "config/Thunar/"};
    DesktopPlaces places{tmp / "data", tmp / "config", {tmp / "none", tmp / "etc"}};
    std::string file = tmp / "config/Thunar/uca.xml";
    std::vector<std::string> failures;
};

TEST_F(ThunarPublishingTest, AMissingFileStartsFromTheSystemsActions) {
    tmp.AddFile("etc/Thunar/uca.xml", kForeign);
    Publish("/usr/bin/nomilo");
    EXPECT_EQ(failures, std::vector<std::string>{});
    const std::string text = tmp.Read("config/Thunar/uca.xml");
    EXPECT_THAT(text, HasSubstr("<name>Mine &amp; yours</name>"));
    EXPECT_THAT(text, HasSubstr("<command>\"/usr/bin/nomilo\" %f</command>"));
    EXPECT_THAT(text, Not(HasSubstr("nomilo-folder-Gone")));
    EXPECT_EQ(tmp.Read("etc/Thunar/uca.xml"), kForeign);
}

TEST_F(ThunarPublishingTest, ADamagedFileIsLeftAloneAndReported) {
    tmp.AddFile("config/Thunar/uca.xml", "<actions>\n<action>\n</actions>\n");
    Publish("/usr/bin/nomilo");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_THAT(failures[0], HasSubstr("Thunar: " + file + " is damaged (line 3: "));
    EXPECT_THAT(failures[0], HasSubstr(") and was left as it is"));
    EXPECT_EQ(tmp.Read("config/Thunar/uca.xml"), "<actions>\n<action>\n</actions>\n");
}

TEST_F(ThunarPublishingTest, ALinkedFileIsEditedWhereItLives) {
    tmp.AddFile("dotfiles-uca.xml", kForeign);
    fs::permissions(tmp / "dotfiles-uca.xml", fs::perms(0600));
    fs::create_symlink(tmp / "dotfiles-uca.xml", file);
    Publish(R"(/opt/a&b <c>/nomilo)");
    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0600));
    EXPECT_THAT(tmp.Read("dotfiles-uca.xml"),
                HasSubstr("<command>\"/opt/a&amp;b &lt;c&gt;/nomilo\" %f</command>"));
    if (std::string(NOMILO_XMLLINT).empty())
        GTEST_SKIP() << "xmllint is not installed";
    const std::string check = std::string(NOMILO_XMLLINT) + " --noout '" + file + "' 2>&1";
    FILE* pipe = popen(check.c_str(), "r");
    char buffer[256] = "";
    const bool said = pipe && std::fgets(buffer, sizeof buffer, pipe);
    EXPECT_EQ(pipe ? pclose(pipe) : -1, 0) << buffer;
    EXPECT_FALSE(said) << buffer;
}

} // namespace
} // namespace nomilo
