// The Fields switch: values from a fake context, against what a user expects of each field.
#include "platform/files/CurrentDir.h"
#include "platform/files/DirListing.h"
#include "platform/files/MoveFile.h"
#include "rename/RenamePreview.h"
#include "tests/rename/FakeEntries.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

namespace nomilo {
namespace {

using test::FakeEntries;

// Facts per entry as the tests set them; the folder "Trip" holds `disk`.
struct FakeContext : IFieldContext {
    std::vector<TFileFacts> facts;
    std::vector<bool> read;
    std::set<std::string> disk;
    bool caseBlind = false;
    const TFileFacts* FactsOf(int entry) const override {
        const auto i = static_cast<std::size_t>(entry);
        return i < facts.size() && read[i] ? &facts[i] : nullptr;
    }
    std::string_view FolderName() const override { return "Trip"; }
    bool NameOnDisk(std::string_view name) const override { return disk.count(std::string(name)); }
    bool CaseBlind() const override { return caseBlind; }
    TFileFacts& Add() {
        read.push_back(true);
        return facts.emplace_back();
    }
};

// 2024-05-01 12:30:05, as a photo records it.
constexpr std::int64_t kTaken = 1714566605;

TFileFacts Photo(std::int64_t taken, const char* texts = nullptr) {
    TFileFacts facts;
    facts.taken = taken;
    facts.width = 4000;
    facts.height = 3000;
    facts.present = TFileFacts::Taken | TFileFacts::Width | TFileFacts::Height;
    if (texts) {
        facts.texts = texts;
        facts.present |= TFileFacts::Camera | TFileFacts::Artist;
    }
    return facts;
}

TRenameInputs Inputs(std::string find, std::string replace) {
    TRenameInputs inputs;
    inputs.selectedOnly = false;
    inputs.fields = true;
    inputs.findText = std::move(find);
    inputs.replaceText = std::move(replace);
    return inputs;
}

// The new name of each entry, or "!reason" for a refusal, "=" for no change, by a preview of a
// folder that holds just the entries (and the context's names on disk).
std::vector<std::string> Predicted(const FakeEntries& entries, const TRenameInputs& inputs,
                                   const FakeContext& context) {
    TRenameRule rule(inputs);
    EXPECT_FALSE(rule.Error()) << rule.Error()->message;
    rule.SetFieldContext(&context);
    std::vector<std::string> names(context.disk.begin(), context.disk.end());
    for (const auto& [name, selected] : entries.entries)
        names.push_back(name);
    TRenamePreview preview(TPreviewFolder{names});
    std::vector<std::string> out;
    for (const TPreviewEntry& entry : preview.Predict(entries, inputs.selectedOnly, rule))
        out.push_back(entry.mark == TPreviewEntry::Untouched ? "="
                      : entry.mark == TPreviewEntry::Renamed
                          ? entry.newName
                          : "!" + std::string(RefusalError(entry.reason).message()));
    return out;
}

using Names = std::vector<std::string>;

TEST(FieldRule, NameExtensionFolderAndDatesAsFormatted) {
    FakeContext context;
    context.Add() = Photo(kTaken);
    context.Add() = Photo(kTaken + 86400);
    const FakeEntries entries("IMG_1.tar.jpg noext");
    TRenameInputs whole = Inputs(".+", "{folder}_{name}.{ext}");
    whole.regularExpression = true;
    EXPECT_EQ(Predicted(entries, whole, context), (Names{"Trip_IMG_1.tar.jpg", "Trip_noext."}));
    EXPECT_EQ(Predicted(entries, Inputs("IMG", "{name}"), context),
              (Names{"IMG_1.tar_1.tar.jpg", "="}));
    TRenameInputs prefix = Inputs("", "{taken:%Y%m%d-%H%M%S} {width}x{height} {ext}|");
    prefix.prefixMode = true;
    EXPECT_EQ(Predicted(entries, prefix, context),
              (Names{"20240501-123005 4000x3000 jpg|IMG_1.tar.jpg", "20240502-123005 4000x3000 |noext"}));
    // A format that writes a slash gives an underscore; the default format is the date alone.
    prefix.replaceText = "{taken:%d/%m} {taken} ";
    EXPECT_EQ(Predicted(entries, prefix, context)[0], "01_05 2024-05-01 IMG_1.tar.jpg");
}

TEST(FieldRule, AFileWithoutTheValueIsRefusedAndTakesNoNumber) {
    FakeContext context;
    context.Add() = Photo(kTaken, "Canon\0Ann\0\0\0\0");
    context.Add() = TFileFacts{};                      // no date, no tags
    context.Add().present = TFileFacts::ContentUnreadable; // a parser gave up
    context.Add() = Photo(kTaken);
    context.read.push_back(false);                     // still being read
    context.facts.emplace_back();
    const FakeEntries entries("a.jpg b.jpg c.jpg d.jpg e.jpg");
    TRenameInputs inputs = Inputs(".jpg", "_{taken}_#.jpg");
    inputs.numbering = true;
    EXPECT_EQ(Predicted(entries, inputs, context),
              (Names{"a_2024-05-01_1.jpg", "!no date taken", "!its data cannot be read",
                     "d_2024-05-01_2.jpg", "!its data is still being read"}));
    EXPECT_EQ(Predicted(entries, Inputs(".jpg", "{artist}.jpg"), context)[3], "!no artist tag");
    EXPECT_EQ(Predicted(entries, Inputs(".jpg", "{created}"), context)[0],
              "!no creation time on this file system");
    // The batch refuses them too, with the reason, and renames the rest.
    TRenameRule rule(inputs);
    rule.SetFieldContext(&context);
    FakeEntries batch = entries;
    std::vector<TRefusedRename> refused;
    RenameBatch(
        batch, false, rule, [](const std::string&, const std::string&, IMoveWitness*) {
            return std::error_code();
        },
        [&](const std::vector<TRefusedRename>& all) { refused = all; });
    EXPECT_EQ(batch.List(), "a_2024-05-01_1.jpg b.jpg c.jpg d_2024-05-01_2.jpg e.jpg");
    ASSERT_EQ(refused.size(), 3u);
    EXPECT_EQ(refused[0].oldName, "b.jpg");
    EXPECT_EQ(refused[0].newName, "b_{taken}_2.jpg") << "the missing field as typed";
    EXPECT_EQ(RefusalOf(refused[2].error), TRefusal::StillReading);
}

TEST(FieldRule, AValueIsTextNeverSyntaxInEveryMode) {
    FakeContext context;
    static const char texts[] = "$1 \\U#{name}\\E\0  /a\x01" "b  \0\0\0";
    context.Add() = Photo(kTaken, texts);
    const FakeEntries entries("x1.jpg");
    const std::string camera = "$1 \\U#{name}\\E";
    EXPECT_EQ(Predicted(entries, Inputs("x", "{camera}"), context)[0], camera + "1.jpg");
    TRenameInputs numbered = Inputs("x", "#{camera}#");
    numbered.numbering = true;
    EXPECT_EQ(Predicted(entries, numbered, context)[0], "1" + camera + "11.jpg");
    TRenameInputs regex = Inputs("x(\\d)", "$1{camera}\\U${1}{artist}");
    regex.regularExpression = true;
    EXPECT_EQ(Predicted(entries, regex, context)[0], "1" + camera + "1_A_B.jpg")
        << "\\U acts on the value's letters, outer spaces go, / and control bytes are _";
    regex.numbering = true;
    regex.replaceText = "$1{camera}#";
    EXPECT_EQ(Predicted(entries, regex, context)[0], "1" + camera + "1.jpg");
    TRenameInputs prefix = Inputs("", "{artist}\\{x}");
    prefix.prefixMode = true;
    EXPECT_EQ(Predicted(entries, prefix, context)[0], "_a_b{x}x1.jpg");
}

TEST(FieldRule, CopyKeepsEqualNamesApartCountingNamesOnDisk) {
    FakeContext context;
    for (int i = 0; i < 4; ++i)
        context.Add() = Photo(kTaken);
    // The third file already has the name it would get: its own name is no other's.
    context.disk = {"a.jpg", "b.jpg", "2024-05-01.jpg", "c.jpg", "2024-05-01-1.jpg"};
    const FakeEntries entries("a.jpg b.jpg 2024-05-01.jpg c.jpg");
    TRenameInputs inputs = Inputs(".+", "{taken}{copy}.jpg");
    inputs.regularExpression = true;
    EXPECT_EQ(Predicted(entries, inputs, context),
              (Names{"2024-05-01-2.jpg", "2024-05-01-3.jpg", "2024-05-01.jpg",
                     "2024-05-01-4.jpg"}));
    context.disk = {"a.jpg", "2024-05-01.jpg", "b.jpg"};
    inputs.replaceText = "{taken}{copy:_}.jpg";
    EXPECT_EQ(Predicted(FakeEntries("a.jpg 2024-05-01.jpg b.jpg"), inputs, context),
              (Names{"2024-05-01_1.jpg", "2024-05-01.jpg", "2024-05-01_2.jpg"}));
    // Run again on names it gave, with a new photo first: each keeps its own.
    context.disk = {"a.jpg", "2024-05-01_1.jpg", "2024-05-01.jpg", "2024-05-01_2.jpg"};
    EXPECT_EQ(Predicted(FakeEntries("a.jpg 2024-05-01_2.jpg 2024-05-01_1.jpg 2024-05-01.jpg"),
                        inputs, context),
              (Names{"2024-05-01_3.jpg", "2024-05-01_2.jpg", "2024-05-01_1.jpg",
                     "2024-05-01.jpg"}));
    // On a case-blind volume names that differ in case only are the same.
    context.disk = {"2024-05-01.jpg"};
    inputs.replaceText = "{taken}{copy:_}.JPG";
    EXPECT_EQ(Predicted(FakeEntries("a.jpg"), inputs, context), (Names{"2024-05-01.JPG"}));
    context.caseBlind = true;
    EXPECT_EQ(Predicted(FakeEntries("a.jpg"), inputs, context), (Names{"2024-05-01_1.JPG"}));
}

TEST(FieldRule, BadFieldsFrameTheReplaceTextAndOtherBracesStayText) {
    const auto error = [](const std::string& replace, bool regex = false,
                           const std::string& find = "a") {
        TRenameInputs inputs = Inputs(find, replace);
        inputs.regularExpression = regex;
        const TRenameRule rule(inputs);
        return rule.Error() ? rule.Error()->message + " @" + std::to_string(*rule.Error()->offset)
                            : std::string();
    };
    EXPECT_EQ(error("x{nmae}"), "unknown field {nmae} @1");
    EXPECT_EQ(error("{track:0}"), "the width of {track} is a number from 1 to 9 @7");
    EXPECT_EQ(error("{name:x}"), "the field {name} takes no argument @5");
    EXPECT_EQ(error("{taken:%Y"), "the field {taken has no closing brace @0");
    EXPECT_EQ(error("{} {1} { x} #{10,5} {Name}"), "");
    EXPECT_EQ(error("${name}", true, "(?<name>a)"), "") << "the engine's own group";
    // An error of the engine points into the text as typed, past the fields before it.
    const std::string engine = error("{name}{ext}$9", true);
    EXPECT_EQ(engine.substr(engine.rfind('@')), "@13");
    FakeContext context;
    context.Add();
    TRenameInputs numbered = Inputs("a", "#{2,3}{name}\\{}");
    numbered.numbering = true;
    EXPECT_EQ(Predicted(FakeEntries("a"), numbered, context)[0], "2a{}");
}

// Files on disk, random facts and every mode: the batch renames and refuses as the preview said.
TEST(FieldRule, ThePreviewIsWhatTheBatchDoesInEveryMode) {
    std::mt19937 random(31);
    const char* const templates[] = {"{taken}{copy}", "{taken:%H}{copy:_}#", "{name}_{artist}",
                                     "$1{camera}\\U{ext}", "{folder}-##{copy}", "\\{{year}"};
    static const char texts[] = "C$1\0#{name}\0\0\0\0";
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        test::TempFolder tmp;
        FakeContext context;
        FakeEntries entries;
        for (int n = 2 + static_cast<int>(random() % 8); n > 0; --n) {
            const std::string name = "p" + std::to_string(random() % 12) + ".jpg";
            if (tmp.Names().count(name))
                continue;
            tmp.AddFile(name);
            entries.entries.push_back({name, random() % 2 == 0});
            TFileFacts& facts = context.Add() = Photo(kTaken + 3600 * (random() % 2), texts);
            if (random() % 4 == 0)
                facts.present = 0;
            context.disk.insert(name);
        }
        if (random() % 3 == 0)
            tmp.AddFile("2024-05-01.jpg"), context.disk.insert("2024-05-01.jpg");
        TRenameInputs inputs = Inputs("p(\\d+)", templates[random() % std::size(templates)]);
        inputs.selectedOnly = random() % 2 == 0;
        inputs.regularExpression = random() % 2 == 0;
        inputs.numbering = random() % 2 == 0;
        inputs.prefixMode = random() % 4 == 0;
        if (!inputs.regularExpression)
            inputs.findText = "p";
        TRenameRule rule(inputs);
        if (rule.Error())
            continue;
        rule.SetFieldContext(&context);
        SetCurrentDir(tmp.Path());
        DirListing listing = ListCurrentDir();
        const TRenamePreview preview(TPreviewFolder{std::move(listing.names)}, entries);
        const std::vector<TPreviewEntry> predicted =
            preview.Predict(entries, inputs.selectedOnly, rule);
        FakeEntries batch = entries;
        RenameBatch(batch, inputs.selectedOnly, rule, MoveFileRefusal, nullptr);
        for (std::size_t i = 0; i < predicted.size(); ++i)
            EXPECT_EQ(batch.entries[i].first, predicted[i].mark == TPreviewEntry::Renamed
                                                  ? predicted[i].newName
                                                  : entries.entries[i].first)
                << inputs.replaceText;
    }
}

} // namespace
} // namespace nomilo
