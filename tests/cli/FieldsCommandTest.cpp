// nomilo-rename --fields on photos the test makes: the dry run says what the batch does, the
// files without the value are refused, undo takes the batch back.
#include "tests/cli/CommandRunner.h"
#include "tests/facts/MadeFiles.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace nomilo {
namespace {

using test::RunCommand;
using test::TempFolder;
using Names = std::set<std::string>;

TEST(FieldsCommand, DryRunBatchAndUndoOfPhotosByTheirDateTaken) {
    TempFolder state;
    setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
    TempFolder folder({"notes.txt"});
    const test::TTags second = {{"Exif.Photo.DateTimeOriginal", "2024:05:01 12:30:05"}};
    test::MakePhoto(folder / "IMG_1.jpg", second);
    test::MakePhoto(folder / "IMG_2.jpg", second);
    test::MakePhoto(folder / "IMG_3.jpg");
    const std::vector<std::string> rename = {"--fields", "--regex", "^IMG_\\d+",
                                             "{taken:%Y%m%d_%H%M%S}{copy}"};
    std::vector<std::string> dry = rename;
    dry.insert(dry.begin(), "-n");
    const test::TCommandRun planned = RunCommand(dry, folder.Path());
    EXPECT_EQ(planned.status, 1) << planned.err;
    const std::string lines = "IMG_1.jpg -> 20240501_123005.jpg\n"
                              "IMG_2.jpg -> 20240501_123005-1.jpg\n";
    EXPECT_EQ(planned.out, lines + "IMG_3.jpg -> {taken:%Y%m%d_%H%M%S}.jpg: no date taken\n");
    dry.insert(dry.begin(), "--json");
    EXPECT_NE(RunCommand(dry, folder.Path()).out.find("\"reason\":\"no-date-taken\""),
              std::string::npos);

    const test::TCommandRun batch = RunCommand(rename, folder.Path());
    EXPECT_EQ(batch.status, 1) << batch.err;
    EXPECT_EQ(batch.out, lines + "IMG_3.jpg -> {taken:%Y%m%d_%H%M%S}.jpg: no date taken\n");
    EXPECT_EQ(folder.Names(),
              (Names{"20240501_123005.jpg", "20240501_123005-1.jpg", "IMG_3.jpg", "notes.txt"}));
    const test::TCommandRun undo = RunCommand({"--undo"}, folder.Path());
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(folder.Names(), (Names{"IMG_1.jpg", "IMG_2.jpg", "IMG_3.jpg", "notes.txt"}));
}

TEST(FieldsCommand, ABadFieldIsAUsageErrorBeforeAnythingIsTouched) {
    TempFolder folder({"a.jpg"});
    const test::TCommandRun run = RunCommand({"--fields", "a", "{nmae}"}, folder.Path());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "nomilo-rename: REPLACE holds a field it cannot use: unknown field {nmae} (offset 0)\n");
    // Without the switch, braces are text.
    EXPECT_EQ(RunCommand({"a", "{nmae}"}, folder.Path()).status, 0);
    EXPECT_EQ(folder.Names(), (Names{"{nmae}.jpg"}));
}

} // namespace
} // namespace nomilo
