#include "platform/RegFile.h"

#include <gtest/gtest.h>
#include <sstream>

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
    EXPECT_EQ(content.tree.Root(HKEY_CURRENT_USER).subkeys.at(0).name, "Software");
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

} // namespace
} // namespace nomilo
