#pragma once

#include <string>
#include <utility>
#include <vector>

namespace nomilo::test {

using TTags = std::vector<std::pair<std::string, std::string>>;

// A small JPEG whose Exif and XMP libexiv2 writes: keys as libexiv2 names them
// ("Exif.Photo.DateTimeOriginal", "Xmp.photoshop.DateCreated").
void MakePhoto(const std::string& path, const TTags& tags = {});

// Audio tags as TagLib's writers put them.
struct TAudioTags {
    std::string artist, album, title, genre; // UTF-8
    unsigned year = 0, track = 0;
};
// An MP3 of a few silent frames with an ID3v2 tag, or (id3v1Only) an ID3v1 tag alone, whose
// texts TagLib writes as Latin-1.
void MakeMp3(const std::string& path, const TAudioTags& tags, bool id3v1Only = false);
// A FLAC stream with a Vorbis comment.
void MakeFlac(const std::string& path, const TAudioTags& tags);

// The bytes of a file.
std::string FileBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

} // namespace nomilo::test
