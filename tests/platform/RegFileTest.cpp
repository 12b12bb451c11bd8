#include "platform/RegFile.h"

#include <gtest/gtest.h>
#include <sstream>

namespace nomilo {
namespace {

using namespace std::literals;

std::string Bytes(std::string_view s) {
    return std::string(s);
}

const RegValue* ValueAt(const RegistryTree& tree, RegRoot root, const std::string& path,
                        const std::string& name) {
    const RegKeyNode* node = tree.Find(root, *SplitKeyPath(path));
    return node ? node->FindValue(name) : nullptr;
}

TEST(RegFile, EveryKindOfValueSurvivesTheFileByteForByte) {
    RegistryTree tree;
    RegKeyNode& key = tree.Root(HKEY_CURRENT_USER).AddSubkey("Software").AddSubkey("Kestrio");
    key.SetValue("plain", REG_SZ, Bytes("English\0"sv));
    key.SetValue("", REG_SZ, Bytes("the default\0"sv));
    key.SetValue("quo\"te\\name", REG_SZ, Bytes("C:\\Program Files\\\"x\"\0"sv));
    key.SetValue("empty text", REG_SZ, Bytes("\0"sv));
    key.SetValue("no data", REG_SZ, "");
    key.SetValue("line break", REG_SZ, Bytes("two\r\nlines\0"sv));
    key.SetValue("inner zero", REG_SZ, Bytes("ab\0cd\0"sv));
    key.SetValue("unterminated", REG_SZ, "abc");
    key.SetValue("two zeros", REG_SZ, Bytes("abc\0\0"sv));
    key.SetValue("utf8 and not", REG_SZ, Bytes("\xC5\xA1kolj\xFF\0"sv));
    key.SetValue("expand", REG_EXPAND_SZ, Bytes("%HOME%\\x\0"sv));
    key.SetValue("dword", REG_DWORD, Bytes("\x00\x02\x00\x00"sv));
    key.SetValue("short dword", REG_DWORD, Bytes("\x01\x02\x03"sv));
    std::string binary;
    for (int i = 0; i < 300; ++i)
        binary += static_cast<char>(i * 7);
    key.SetValue("binary", REG_BINARY, binary);
    key.SetValue("multi", REG_MULTI_SZ, Bytes("a\0b\0\0"sv));
    key.SetValue("qword", 0xB, Bytes("\x01\x02\x03\x04\x05\x06\x07\x08"sv));
    key.SetValue("none", REG_NONE, "");
    key.SetValue("odd kind", 0x12345678, "z");
    tree.Root(HKEY_CURRENT_USER).AddSubkey("Empty Key");
    tree.Root(HKEY_CLASSES_ROOT)
        .AddSubkey("Folder")
        .AddSubkey("shell")
        .SetValue("", REG_SZ, Bytes("x\0"sv));
    tree.Root(HKEY_CLASSES_ROOT).SetValue("at the root", REG_SZ, Bytes("r\0"sv));

    const std::string text = FormatRegFile(tree);
    const RegFileContent back = ParseRegFile(text);
    EXPECT_FALSE(back.damaged) << text;
    EXPECT_TRUE(back.tree == tree) << text;
    // A formatted file reads back to itself.
    EXPECT_EQ(FormatRegFile(back.tree), text);

    // The forms a person (and the registry editor) reads.
    EXPECT_EQ(text.substr(0, 9), "REGEDIT4\n");
    for (const char* line :
         {"[HKEY_CURRENT_USER\\Software\\Kestrio]\n", "\"plain\"=\"English\"\n",
          "@=\"the default\"\n", "\"quo\\\"te\\\\name\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\n",
          "\"empty text\"=\"\"\n", "\"no data\"=hex(1):\n", "\"dword\"=dword:00000200\n",
          "\"short dword\"=hex(4):01,02,03\n", "\"expand\"=hex(2):25,", "\"qword\"=hex(b):01,",
          "\"none\"=hex(0):\n", "\"odd kind\"=hex(12345678):7a\n", "\"binary\"=hex:00,07,0e,",
          "[HKEY_CURRENT_USER\\Empty Key]\n", "[HKEY_CLASSES_ROOT]\n",
          "[HKEY_CLASSES_ROOT\\Folder\\shell]\n"})
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
                             "\r\n"
                             "[HKEY_CLASSES_ROOT\\Folder\\shell\\Nomilo\\Command]\r\n"
                             "@=\"\\\"/usr/bin/nomilo\\\" \\\"%L\\\"\"\r\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\kestrio\\nomilo]\r\n"
                             "\"jezik\"=\"Hrvatski\"\r\n";
    const RegFileContent content = ParseRegFile(text);
    EXPECT_FALSE(content.damaged);
    const RegistryTree& tree = content.tree;
    const std::string key = "Software\\Kestrio\\Nomilo";
    // A repeated section is the same key; the later value wins and the first spelling stays.
    ASSERT_NE(ValueAt(tree, HKEY_CURRENT_USER, key, "JEZIK"), nullptr);
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "JEZIK")->name, "Jezik");
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "Jezik")->data, Bytes("Hrvatski\0"sv));
    EXPECT_EQ(tree.Root(HKEY_CURRENT_USER).subkeys.at(0).name, "Software");
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "")->data, Bytes("say \"hi\" to C:\\\0"sv));
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "Path")->data, Bytes("C:\\Temp\0"sv));
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "Width")->kind, REG_DWORD);
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "Width")->data, Bytes("\x00\x02\x00\x00"sv));
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "Blob")->kind, REG_BINARY);
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "Blob")->data, "\x01\x02\x03\x0a\xff");
    EXPECT_EQ(ValueAt(tree, HKEY_CURRENT_USER, key, "Expand")->kind, REG_EXPAND_SZ);
    EXPECT_EQ(ValueAt(tree, HKEY_CLASSES_ROOT, "Folder\\shell\\Nomilo\\Command", "")->data,
              Bytes("\"/usr/bin/nomilo\" \"%L\"\0"sv));
    // A section names every key above it.
    EXPECT_NE(tree.Find(HKEY_CLASSES_ROOT, {"folder", "SHELL"}), nullptr);
}

TEST(RegFile, DamagedFileGivesWhatParses) {
    const std::string good = "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"one\"=\"1\"\n";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"truncated in a text", good + "\"two\"=\"2"},
        {"truncated in hex data", good + "\"two\"=hex:01,02,\\\n"},
        {"truncated after a line", good + "\"two\"=\"2\""},
        {"garbage", good + Bytes("\x01\x02\xff garbage\0\n"sv)},
        {"key line without its closing bracket", good + "[HKEY_CURRENT_USER\\B\n\"two\"=\"2\"\n"},
        {"unknown root", good + "[HKEY_LOCAL_MACHINE\\B]\n\"two\"=\"2\"\n"},
        {"empty key name", good + "[HKEY_CURRENT_USER\\B\\\\C]\n"},
        {"deletion entry", good + "\"one\"=-\n"},
        {"bad data", good + "\"two\"=dword:123456789\n\"three\"=hex:1g\n"},
        {"no header", good.substr(9)},
        {"value before any section", "REGEDIT4\n\"zero\"=\"0\"\n" + good.substr(9)},
    };
    for (const Case& c : cases) {
        const RegFileContent content = ParseRegFile(c.text);
        EXPECT_TRUE(content.damaged) << c.what;
        const RegValue* one = ValueAt(content.tree, HKEY_CURRENT_USER, "A", "one");
        ASSERT_NE(one, nullptr) << c.what;
        EXPECT_EQ(one->data, Bytes("1\0"sv)) << c.what;
        EXPECT_EQ(ValueAt(content.tree, HKEY_CURRENT_USER, "A", "zero"), nullptr) << c.what;
        EXPECT_EQ(content.tree.Find(HKEY_CURRENT_USER, {"B"}), nullptr) << c.what;
    }
    // A last line that lost only its line break is still used (and the file counts as damaged).
    EXPECT_NE(ValueAt(ParseRegFile(good + "\"two\"=\"2\"").tree, HKEY_CURRENT_USER, "A", "two"),
              nullptr);
    EXPECT_FALSE(ParseRegFile("").damaged);
}

} // namespace
} // namespace nomilo
