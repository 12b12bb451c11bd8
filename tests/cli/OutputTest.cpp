#include "cli/NameText.h"
#include "cli/ProgressBar.h"
#include "cli/Report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace nomilo {
namespace {

TEST(NameText, EscapesEveryControlAndEveryByteThatIsNotUtf8SoThatNoNameIsInDoubt) {
    EXPECT_EQ(EscapedName("Žuto ljeto.jpg"), "Žuto ljeto.jpg");
    EXPECT_EQ(EscapedName("a\nb\tc\rd\\e"), "a\\nb\\tc\\rd\\\\e");
    EXPECT_EQ(EscapedName(std::string("\x01\x1b[31m\x7f", 7)), "\\x01\\x1b[31m\\x7f");
    EXPECT_EQ(EscapedName(std::string("nul\0", 4)), "nul\\x00");
    // Not UTF-8: a lone continuation byte, a cut sequence, an overlong "/", a surrogate.
    EXPECT_EQ(EscapedName("\x80 \xc3 \xc0\xaf \xed\xa0\x80"),
              "\\x80 \\xc3 \\xc0\\xaf \\xed\\xa0\\x80");
    // C1 controls, direction marks and overrides, line separators.
    EXPECT_EQ(EscapedName("\u0085\u200f\u202e\u2028\u2066"),
              "\\u0085\\u200f\\u202e\\u2028\\u2066");
}

TEST(NameText, EveryBytePlaceOfALongNameIsChecked) {
    // The bytes around each edge of what stands for itself, at every place of a name longer
    // than two words, and with the rest of it plain.
    for (std::size_t at = 0; at < 19; ++at) {
        for (const char plain : {' ', '~', '[', ']', 'a', '0'}) {
            std::string name(19, 'x');
            name[at] = plain;
            EXPECT_EQ(EscapedName(name), name) << at << ' ' << int(plain);
        }
        for (const char special : {'\x00', '\x1f', '\x7f', '\\', '\x80', '\xdc', '\xff'}) {
            std::string name(19, 'x');
            name[at] = special;
            EXPECT_NE(EscapedName(name), name) << at << ' ' << int(special);
        }
    }
}

TEST(NameText, JsonHasStringsForUtf8AndByteArraysForTheRest) {
    EXPECT_EQ(JsonName("\"a\"\\\n\x01\u202e€"), "\"\\\"a\\\"\\\\\\n\\u0001\\u202e€\"");
    EXPECT_EQ(JsonName("b\xff"), "[98,255]");
    EXPECT_EQ(JsonName(""), "\"\"");
}

// What a stream opened on memory received.
struct TMemory {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&data, &size);
    ~TMemory() {
        std::fclose(file);
        std::free(data);
    }
    std::string Text() {
        std::fflush(file);
        return std::string(data, size);
    }
};

TEST(ProgressBar, ShowsOnlyAfterASecondAtMostTenTimesASecondAndLeavesTheLineClean) {
    TMemory terminal;
    double now = 100.0;
    TProgressBar bar(terminal.file, 200, [&] { return now; });
    now = 100.9;
    bar.Advance(50);
    EXPECT_EQ(terminal.Text(), "");
    now = 101.0;
    bar.Advance(100);
    const std::string drawn = "\r[###############...............] 50% 100/200\x1b[K";
    EXPECT_EQ(terminal.Text(), drawn);
    now = 101.05;
    bar.Advance(101);
    EXPECT_EQ(terminal.Text(), drawn) << "drawn again too soon";
    bar.Hide();
    EXPECT_TRUE(terminal.Text().ends_with("\x1b[K\r\x1b[K"));
    EXPECT_FALSE(bar.Shown());
}

TEST(Report, LinesJsonAndNulEndedFormsSayTheSameAndQuietSaysNothing) {
    TMemory out, err;
    TReport lines(TCommandOptions::Lines, false, false, out.file, err.file);
    lines.Renamed("a", "b");
    lines.Refused("c", "d", TRefusal::Other, std::make_error_code(std::errc::io_error));
    EXPECT_EQ(out.Text(), "a -> b\nc -> d: Input/output error\n");

    TMemory nulOut, nulErr;
    TReport nul(TCommandOptions::NulEnded, false, false, nulOut.file, nulErr.file);
    nul.Renamed("a", "b");
    nul.Refused("c", "d", TRefusal::Taken);
    EXPECT_EQ(nulOut.Text(), std::string("a\0b\0", 4));
    EXPECT_EQ(nulErr.Text(), "nomilo-rename: refused: c -> d: the name is taken\n");

    TMemory quietOut, quietErr;
    TReport quiet(TCommandOptions::Json, true, true, quietOut.file, quietErr.file);
    quiet.Renamed("a", "b");
    quiet.Refused("c", "d", TRefusal::Gone);
    quiet.Note("nothing");
    quiet.Error("an error");
    EXPECT_EQ(quietOut.Text(), "");
    EXPECT_EQ(quietErr.Text(), "nomilo-rename: an error\n");
    EXPECT_EQ(quiet.RenamedCount(), 1u);
    EXPECT_EQ(quiet.RefusedCount(), 1u);
}

} // namespace
} // namespace nomilo
