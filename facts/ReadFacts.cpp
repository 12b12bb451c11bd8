#include "facts/ReadFacts.h"

#include <exiv2/exiv2.hpp>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>

#include <cstring>
#include <ctime>
#include <unistd.h>

namespace nomilo {

namespace {

constexpr std::size_t kLongestText = 255;

bool ValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3
                                   : (c >> 3) == 30                 ? 4
                                                                    : 0;
        if (length == 0 || i + length > bytes.size() || (length == 2 && c < 0xC2))
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// `text` cut to at most kLongestText bytes, never inside a character.
void CutLong(std::string& text) {
    if (text.size() <= kLongestText)
        return;
    std::size_t end = kLongestText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

void SetText(TReadFacts& read, TFileFacts::TText which, TFileFacts::TFact fact,
             std::string_view bytes) {
    std::string text = TagText(bytes);
    if (text.find_first_not_of(' ') == std::string::npos)
        return;
    read.texts[which] = std::move(text);
    read.facts.present |= fact;
}

// The Exif tags a photo's facts come from, each known by its IFD and tag number: looking one up
// by its key's text would parse that text and its tables again for each photo.
enum TExifTag { DateTimeOriginal, DateTimeDigitized, Make, Model, PixelXDimension,
                PixelYDimension, kExifTags };

struct TExifTags {
    struct TPlace {
        int ifd;
        std::uint16_t tag;
    };
    std::array<TPlace, kExifTags> places;

    TExifTags() {
        const char* keys[kExifTags] = {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized",
                                       "Exif.Image.Make", "Exif.Image.Model",
                                       "Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension"};
        for (std::size_t i = 0; i < kExifTags; ++i) {
            const Exiv2::ExifKey key(keys[i]);
            places[i] = {key.ifdId(), key.tag()};
        }
    }
    // The first datum of each tag, as findKey would find it (nullptr where there is none).
    std::array<const Exiv2::Exifdatum*, kExifTags> Find(const Exiv2::ExifData& exif) const {
        std::array<const Exiv2::Exifdatum*, kExifTags> found{};
        for (const Exiv2::Exifdatum& datum : exif)
            for (std::size_t i = 0; i < kExifTags; ++i)
                if (!found[i] && datum.tag() == places[i].tag && datum.ifdId() == places[i].ifd)
                    found[i] = &datum;
        return found;
    }
};

// A datum's text: an ASCII value's own bytes (toString would write them through a stream),
// any other type as libexiv2 writes it.
std::string ExifText(const Exiv2::Exifdatum* datum) {
    if (!datum)
        return {};
    if (datum->typeId() != Exiv2::asciiString)
        return datum->toString();
    std::string bytes(static_cast<std::size_t>(datum->size()), '\0');
    if (!bytes.empty())
        datum->copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), Exiv2::littleEndian);
    return bytes;
}

std::string XmpText(const Exiv2::XmpData& xmp, const Exiv2::XmpKey& key) {
    const auto found = xmp.findKey(key);
    return found == xmp.end() ? std::string() : found->toString();
}

std::uint32_t ExifNumber(const Exiv2::Exifdatum* datum) {
    if (!datum || datum->count() == 0)
        return 0;
    const long value = datum->toLong();
    return value > 0 && value < (1L << 30) ? static_cast<std::uint32_t>(value) : 0;
}

void ReadImage(int file, std::size_t size, TReadFacts& read) {
    TMappedFile bytes(file, size);
    if (!bytes.Data())
        return;
    const auto* data = reinterpret_cast<const Exiv2::byte*>(bytes.Data());
    const long length = static_cast<long>(bytes.Size());
    try {
        // A file of no type libexiv2 knows is no photo: it has no photo data, and nothing is
        // wrong with it (the look may throw on a short file).
        if (Exiv2::ImageFactory::getType(data, length) == Exiv2::ImageType::none)
            return;
    } catch (const std::exception&) {
        return;
    }
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(data, length);
        image->readMetadata();
        static const TExifTags tags;
        const auto exif = tags.Find(image->exifData());
        const Exiv2::XmpData& xmp = image->xmpData();
        std::string dates[] = {ExifText(exif[DateTimeOriginal]), ExifText(exif[DateTimeDigitized]),
                               {}, {}};
        if (!xmp.empty()) {
            static const Exiv2::XmpKey created("Xmp.photoshop.DateCreated");
            static const Exiv2::XmpKey createDate("Xmp.xmp.CreateDate");
            dates[2] = XmpText(xmp, created);
            dates[3] = XmpText(xmp, createDate);
        }
        for (const std::string& date : dates)
            if (const auto taken = ParseRecordedDate(date)) {
                read.facts.taken = *taken;
                read.facts.present |= TFileFacts::Taken;
                break;
            }
        const std::string camera = CameraName(ExifText(exif[Make]), ExifText(exif[Model]));
        SetText(read, TFileFacts::CameraText, TFileFacts::Camera, camera);
        std::uint32_t width = image->pixelWidth() > 0 ? static_cast<std::uint32_t>(image->pixelWidth()) : 0;
        std::uint32_t height = image->pixelHeight() > 0 ? static_cast<std::uint32_t>(image->pixelHeight()) : 0;
        if (width == 0 || height == 0) {
            width = ExifNumber(exif[PixelXDimension]);
            height = ExifNumber(exif[PixelYDimension]);
        }
        if (width > 0 && height > 0) {
            read.facts.width = width;
            read.facts.height = height;
            read.facts.present |= TFileFacts::Width | TFileFacts::Height;
        }
    } catch (const std::exception&) {
        read.facts.present |= TFileFacts::ContentUnreadable;
    }
}

// A stream over a descriptor of the reader's own that tells TagLib the entry's name: TagLib
// knows the format by the name's extension, as when it opens a file by its name, and only
// looks at the bytes of every format it knows when the name does not tell.
class TNamedStream final : public TagLib::FileStream {
public:
    TNamedStream(int file, std::string name) : TagLib::FileStream(file, true), name_(std::move(name)) {}
    TagLib::FileName name() const override { return name_.c_str(); }

private:
    std::string name_;
};

void ReadAudio(int file, std::string_view name, TReadFacts& read) {
    // The stream closes the descriptor it is given: it gets one of its own.
    const int own = dup(file);
    if (own < 0)
        return;
    try {
        TNamedStream stream(own, std::string(name));
        TagLib::FileRef audio(&stream, false);
        const TagLib::Tag* tag = audio.isNull() ? nullptr : audio.tag();
        if (!tag)
            return;
        SetText(read, TFileFacts::ArtistText, TFileFacts::Artist, tag->artist().to8Bit(true));
        SetText(read, TFileFacts::AlbumText, TFileFacts::Album, tag->album().to8Bit(true));
        SetText(read, TFileFacts::TitleText, TFileFacts::Title, tag->title().to8Bit(true));
        SetText(read, TFileFacts::GenreText, TFileFacts::Genre, tag->genre().to8Bit(true));
        if (tag->year() > 0) {
            read.facts.year = tag->year();
            read.facts.present |= TFileFacts::Year;
        }
        if (tag->track() > 0) {
            read.facts.track = tag->track();
            read.facts.present |= TFileFacts::Track;
        }
    } catch (const std::exception&) {
        read.facts.present |= TFileFacts::ContentUnreadable;
    }
}

// Digits at `at` of `text`, `count` of them exactly; moves `at` past them.
bool Digits(std::string_view text, std::size_t& at, std::size_t count, int& value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    at += count;
    return true;
}

} // namespace

std::string TagText(std::string_view bytes) {
    std::string text;
    const std::size_t nul = bytes.find('\0');
    bytes = bytes.substr(0, nul);
    if (ValidUtf8(bytes)) {
        text.assign(bytes);
    } else {
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                text += c;
            } else {
                text += static_cast<char>(0xC0 | (byte >> 6));
                text += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
    }
    CutLong(text);
    return text;
}

std::optional<std::int64_t> ParseRecordedDate(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    std::size_t at = 0;
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    if (!Digits(text, at, 4, year))
        return std::nullopt;
    // Exif separates the date with colons, XMP with dashes and may stop after any part.
    const auto part = [&](char separator, int& value) {
        if (at >= text.size() || (text[at] != separator && !(separator == '-' && text[at] == ':')))
            return false;
        ++at;
        return Digits(text, at, 2, value);
    };
    if (part('-', month) && part('-', day) && at < text.size() &&
        (text[at] == ' ' || text[at] == 'T')) {
        ++at;
        if (Digits(text, at, 2, hour) && at < text.size() && text[at] == ':') {
            ++at;
            if (Digits(text, at, 2, minute))
                part(':', second);
        }
    }
    if (year == 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&parts));
}

std::string CameraName(std::string_view make, std::string_view model) {
    const auto trim = [](std::string_view text) {
        const std::size_t nul = text.find('\0');
        text = text.substr(0, nul);
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        return text;
    };
    make = trim(make);
    model = trim(model);
    if (make.empty())
        return std::string(model);
    if (model.empty())
        return std::string(make);
    if (model.size() >= make.size() && strncasecmp(model.data(), make.data(), make.size()) == 0)
        return std::string(model);
    return std::string(make) + ' ' + std::string(model);
}

void AddTimes(TFileFacts& facts, const TFileStatus& status) {
    if (status.error != 0)
        return;
    facts.modified = status.modified;
    facts.present |= TFileFacts::Modified;
    if (status.hasBirth) {
        facts.created = status.born;
        facts.present |= TFileFacts::Created;
    }
}

TReadFacts ReadContent(int file, std::string_view name, const TFileStatus& status,
                       TFactNeeds needs) {
    TReadFacts read;
    read.status = status;
    AddTimes(read.facts, status);
    if (!status.Regular()) {
        if (needs & (NeedsImage | NeedsAudio))
            read.facts.present |= TFileFacts::ContentUnreadable;
        return read;
    }
    if (needs & NeedsImage)
        ReadImage(file, static_cast<std::size_t>(status.size), read);
    if (needs & NeedsAudio)
        ReadAudio(file, name, read);
    return read;
}

} // namespace nomilo
