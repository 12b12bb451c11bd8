#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace nomilo {

// Why a rename is or was refused, in the words the user is shown.
enum class TRefusal : std::uint8_t {
    None,
    Taken,          // a file already has the new name
    TakenInBatch,   // an earlier entry of the same batch gets the new name
    NotAcceptable,  // empty, ".", "..", or holding "/"
    TooLong,        // longer than the file system takes
    Gone,           // the file is no longer there
    NoPermission,   // the folder or the file may not be changed
    Replaced,       // (renaming back) another file now has the name the batch gave
    Other,          // any other refusal: the system's own message tells
    // A field of the new name (the Fields switch) that the file gives no value for: the file is
    // never renamed with a stand-in.
    NoDateTaken,
    NoCreationTime,
    NoCamera,
    NoImageSize,
    NoArtist,
    NoAlbum,
    NoTitle,
    NoYear,
    NoGenre,
    NoTrack,
    Unreadable,   // the file's data cannot be read at all
    StillReading, // its data is still being read (a preview only: a batch waits for it)
    // (Renaming back) the folder below the batch's folder that the file was renamed in was
    // moved, removed or replaced since.
    FolderMoved,
};

// How English words FolderMoved.
inline constexpr const char* kEnglishFolderMovedText = "its folder was moved or replaced";

// How English words the reasons from NoDateTaken to StillReading, in that order.
inline constexpr const char* kEnglishFieldRefusalTexts[12] = {
    "no date taken",   "no creation time on this file system",
    "no camera data",  "no image size",
    "no artist tag",   "no album tag",
    "no title tag",    "no year tag",
    "no genre tag",    "no track tag",
    "its data cannot be read", "its data is still being read",
};

// Whether `reason` is a missing value of a field, NoDateTaken to StillReading.
inline bool IsFieldRefusal(TRefusal reason) {
    return reason >= TRefusal::NoDateTaken && reason <= TRefusal::StillReading;
}

// How English words the reasons from Taken to Replaced, in that order: the window's English
// texts and the terminal command's.
inline constexpr const char* kEnglishRefusalTexts[7] = {
    "the name is taken",
    "an earlier entry gets the same name",
    "the name is not acceptable",
    "the name is too long",
    "the file is gone",
    "no permission",
    "another file now has this name",
};

// The reason for a refusal that the file system reported as `error`, or that RefusalError made.
TRefusal RefusalOf(std::error_code error);

// A refusal of the program's own, with no errno of the system's that tells it.
std::error_code RefusalError(TRefusal reason);

// One rename that was refused, and what the file system answered.
struct TRefusedRename {
    std::string oldName;
    std::string newName;
    std::error_code error;
};

} // namespace nomilo
