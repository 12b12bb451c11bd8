#pragma once

#include "platform/files/FileContent.h"
#include "rename/FileFacts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nomilo {

// What reading one file found: the file as it was read (its status) and its facts, with their
// texts held here.
struct TReadFacts {
    TFileStatus status;
    TFileFacts facts; // its `texts` unused
    std::array<std::string, TFileFacts::kTexts> texts;
};

// Reads what `needs` asks of the open regular file `file` (the entry `name`) whose status is
// `status`: its times always, a photo's data with libexiv2, audio tags with TagLib. A parser that gives up marks
// the content unreadable; it is run where its faults cannot reach the program (the reader
// process).
TReadFacts ReadContent(int file, std::string_view name, const TFileStatus& status,
                       TFactNeeds needs);

// The times of a file as its status tells them.
void AddTimes(TFileFacts& facts, const TFileStatus& status);

// A text of a file's data made valid UTF-8 of at most 255 bytes: bytes that are no UTF-8 are
// read as Latin-1, as old tags and cameras write them.
std::string TagText(std::string_view bytes);

// A date as Exif ("2024:05:01 12:30:05") or XMP ("2024-05-01T12:30:05+02:00", "2024-05-01")
// write it, as seconds of its own local time counted as if UTC; std::nullopt when it is no date
// (or all zeros, as cameras write an unset one).
std::optional<std::int64_t> ParseRecordedDate(std::string_view text);

// The camera as make and model, the make once ("Canon Canon EOS 5D" is "Canon EOS 5D").
std::string CameraName(std::string_view make, std::string_view model);

} // namespace nomilo
