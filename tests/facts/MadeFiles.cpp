#include "tests/facts/MadeFiles.h"

#include <exiv2/exiv2.hpp>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/xiphcomment.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace nomilo::test {

namespace {

// A baseline JPEG of one grey pixel: SOI, APP0, DQT, SOF0, DHT, SOS, one scan, EOI.
const unsigned char kJpeg[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',  0x00, 0x01, 0x01, 0x01, 0x00,
    0x48, 0x00, 0x48, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x02, 0x02,
    0x02, 0x03, 0x02, 0x02, 0x02, 0x03, 0x03, 0x03, 0x03, 0x04, 0x06, 0x04, 0x04, 0x04, 0x04,
    0x04, 0x08, 0x06, 0x06, 0x05, 0x06, 0x09, 0x08, 0x0A, 0x0A, 0x09, 0x08, 0x09, 0x09, 0x0A,
    0x0C, 0x0F, 0x0C, 0x0A, 0x0B, 0x0E, 0x0B, 0x09, 0x09, 0x0D, 0x11, 0x0D, 0x0E, 0x0F, 0x10,
    0x10, 0x11, 0x10, 0x0A, 0x0C, 0x12, 0x13, 0x12, 0x10, 0x13, 0x0F, 0x10, 0x10, 0x10, 0xFF,
    0xC0, 0x00, 0x0B, 0x08, 0x00, 0x02, 0x00, 0x03, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xC4, 0x00,
    0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xDA,
    0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x2A, 0x9F, 0xFF, 0xD9,
};

void Check(bool ok, const std::string& what) {
    if (!ok)
        throw std::runtime_error("cannot make " + what);
}

void SetTags(TagLib::Tag& tag, const TAudioTags& tags) {
    tag.setArtist(TagLib::String(tags.artist, TagLib::String::UTF8));
    tag.setAlbum(TagLib::String(tags.album, TagLib::String::UTF8));
    tag.setTitle(TagLib::String(tags.title, TagLib::String::UTF8));
    tag.setGenre(TagLib::String(tags.genre, TagLib::String::UTF8));
    tag.setYear(tags.year);
    tag.setTrack(tags.track);
}

} // namespace

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    Check(out.good(), path);
}

void MakePhoto(const std::string& path, const TTags& tags) {
    WriteBytes(path, std::string(reinterpret_cast<const char*>(kJpeg), sizeof kJpeg));
    if (tags.empty())
        return;
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    for (const auto& [key, value] : tags) {
        if (key.starts_with("Xmp."))
            xmp[key] = value;
        else
            exif[key] = value;
    }
    image->setExifData(exif);
    image->setXmpData(xmp);
    image->writeMetadata();
}

void MakeMp3(const std::string& path, const TAudioTags& tags, bool id3v1Only) {
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417 bytes a frame.
    std::string frames;
    for (int i = 0; i < 8; ++i) {
        std::string frame(417, '\0');
        frame[0] = '\xFF';
        frame[1] = '\xFB';
        frame[2] = '\x90';
        frame[3] = '\x44';
        frames += frame;
    }
    WriteBytes(path, frames);
    TagLib::MPEG::File file(path.c_str(), false);
    Check(file.isValid(), path);
    if (id3v1Only) {
        SetTags(*file.ID3v1Tag(true), tags);
        Check(file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers), path);
    } else {
        SetTags(*file.ID3v2Tag(true), tags);
        Check(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers), path);
    }
}

void MakeFlac(const std::string& path, const TAudioTags& tags) {
    // "fLaC", then the last metadata block: STREAMINFO (34 bytes) of 4096-sample blocks,
    // 44.1 kHz, two channels of 16 bits, no samples.
    std::string stream = "fLaC";
    stream += std::string("\x80\x00\x00\x22", 4);
    stream += std::string("\x10\x00\x10\x00", 4);     // block sizes
    stream += std::string(6, '\0');                   // frame sizes unknown
    stream += std::string("\x0A\xC4\x42\xF0\x00\x00\x00\x00", 8); // rate, channels, bits, samples
    stream += std::string(16, '\0');                  // MD5
    WriteBytes(path, stream);
    TagLib::FLAC::File file(path.c_str(), false);
    Check(file.isValid(), path);
    SetTags(*file.xiphComment(true), tags);
    Check(file.save(), path);
}

} // namespace nomilo::test
