#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nomilo {

// What one file tells the fields of a new name: its times, a photo's data and audio tags. A
// value is there when its bit in `present` is set. Texts are valid UTF-8 of at most 255 bytes,
// each ended by a NUL in `texts`, in the order of the TFact text values; the store that made the
// facts owns them.
struct TFileFacts {
    enum TFact : std::uint16_t {
        Modified = 1 << 0,
        Created = 1 << 1,
        Taken = 1 << 2,
        Camera = 1 << 3,
        Width = 1 << 4,
        Height = 1 << 5,
        Artist = 1 << 6,
        Album = 1 << 7,
        Title = 1 << 8,
        Year = 1 << 9,
        Genre = 1 << 10,
        Track = 1 << 11,
        // Not a value: the file's content could not be read at all (not a regular file, a parser
        // gave up, crashed or took too long).
        ContentUnreadable = 1 << 15,
    };
    // The order of the texts in `texts`.
    enum TText : std::uint8_t { CameraText, ArtistText, AlbumText, TitleText, GenreText, kTexts };

    std::int64_t modified = 0; // seconds since the epoch
    std::int64_t created = 0;  // seconds since the epoch (birth time)
    std::int64_t taken = 0;    // the date a photo records, its local time counted as if UTC
    std::uint32_t width = 0;   // pixels
    std::uint32_t height = 0;
    std::uint32_t year = 0;
    std::uint32_t track = 0;
    std::uint16_t present = 0;
    const char* texts = nullptr; // kTexts NUL-ended texts, or nullptr: all empty

    bool Has(TFact fact) const { return (present & fact) != 0; }
    // Text `which` (empty when there is none).
    std::string_view Text(TText which) const {
        if (!texts)
            return {};
        const char* at = texts;
        for (int i = 0; i < which; ++i)
            at += std::char_traits<char>::length(at) + 1;
        return at;
    }
};

// What a file must be read for, by the fields a rule uses.
enum TFactNeeds : std::uint8_t {
    NeedsNothing = 0,
    NeedsTimes = 1 << 0, // a statx of the file
    NeedsImage = 1 << 1, // its photo or video metadata
    NeedsAudio = 1 << 2, // its audio tags
    // Not a need: the entry was a regular file when the program looked (no link to follow).
    SeenRegular = 1 << 7,
};

} // namespace nomilo
