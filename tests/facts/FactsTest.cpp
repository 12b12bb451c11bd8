// Reading files' data: photos and audio made by libexiv2's and TagLib's writers, read through
// the reader process of the built command, hostile files among them.
#include "facts/FolderFacts.h"
#include "facts/ReaderProcess.h"
#include "tests/facts/MadeFiles.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace nomilo {
namespace {

using test::TempFolder;

std::vector<std::string> Reader() {
    return {NOMILO_RENAME_PROGRAM, kReadFactsArgument};
}

// The facts of `names` in `folder`, read through `cache` and `reader`.
std::vector<const TFileFacts*> Read(const TempFolder& folder,
                                    const std::vector<std::string_view>& names, TFactNeeds needs,
                                    TFactsCache& cache, TFactsReader& reader) {
    std::vector<const TFileFacts*> facts(names.size(), nullptr);
    ReadFolderFacts(folder.Path(), names, needs, cache, reader,
                    [&](std::size_t i, const TFileFacts* read) { facts.at(i) = read; });
    for (const TFileFacts* read : facts)
        EXPECT_NE(read, nullptr);
    return facts;
}

std::string Date(const TFileFacts& facts) {
    if (!facts.Has(TFileFacts::Taken))
        return "-";
    const time_t seconds = facts.taken;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

TEST(Facts, APhotosDateTakenComesFromExifThenXmpAndItsCameraAndSize) {
    TempFolder folder;
    test::MakePhoto(folder / "both.jpg", {{"Exif.Photo.DateTimeDigitized", "2020:01:01 00:00:00"},
                                          {"Exif.Photo.DateTimeOriginal", "2024:05:01 12:30:05"},
                                          {"Exif.Image.Make", "Canon"},
                                          {"Exif.Image.Model", "Canon EOS 5D"}});
    test::MakePhoto(folder / "digitized.jpg", {{"Exif.Photo.DateTimeDigitized", "2021:02:03 04:05:06"},
                                               {"Exif.Image.Make", " NIKON "},
                                               {"Exif.Image.Model", "D90"}});
    test::MakePhoto(folder / "xmp.jpg", {{"Xmp.photoshop.DateCreated", "2022-03-04T05:06:07+02:00"}});
    test::MakePhoto(folder / "create.jpg", {{"Xmp.xmp.CreateDate", "2023-04-05"}});
    test::MakePhoto(folder / "unset.jpg", {{"Exif.Photo.DateTimeOriginal", "0000:00:00 00:00:00"}});
    test::WriteBytes(folder / "text.jpg", "not a photo at all");
    TFactsCache cache;
    TFactsReader reader(Reader());
    const auto facts = Read(folder, {"both.jpg", "digitized.jpg", "xmp.jpg", "create.jpg",
                                     "unset.jpg", "text.jpg"},
                            NeedsImage, cache, reader);
    EXPECT_EQ(Date(*facts[0]), "2024-05-01 12:30:05");
    EXPECT_EQ(Date(*facts[1]), "2021-02-03 04:05:06");
    EXPECT_EQ(Date(*facts[2]), "2022-03-04 05:06:07") << "local time as the photo records it";
    EXPECT_EQ(Date(*facts[3]), "2023-04-05 00:00:00");
    EXPECT_EQ(Date(*facts[4]), "-");
    EXPECT_EQ(facts[0]->Text(TFileFacts::CameraText), "Canon EOS 5D");
    EXPECT_EQ(facts[1]->Text(TFileFacts::CameraText), "NIKON D90");
    EXPECT_FALSE(facts[2]->Has(TFileFacts::Camera));
    EXPECT_EQ(facts[0]->width, 3u);
    EXPECT_EQ(facts[0]->height, 2u);
    EXPECT_FALSE(facts[5]->Has(TFileFacts::Taken));
    EXPECT_FALSE(facts[5]->Has(TFileFacts::ContentUnreadable)) << "no photo is no fault";
    EXPECT_TRUE(facts[5]->Has(TFileFacts::Modified));
}

TEST(Facts, AudioTagsOfMp3AndFlacLatin1BecomesUtf8) {
    TempFolder folder;
    test::MakeMp3(folder / "v2.mp3", {"Björk", "Homogenic", "Jóga", "Pop", 1997, 3});
    test::MakeMp3(folder / "v1.mp3", {"Mötley Crüe", "Dr. Feelgood", "Kickstart", "Rock", 1989, 7},
                  true);
    test::MakeFlac(folder / "a.flac", {"Sigur Rós", "()", "Untitled #1", "", 2002, 1});
    test::MakeMp3(folder / "none.mp3", {});
    TFactsCache cache;
    TFactsReader reader(Reader());
    const auto facts = Read(folder, {"v2.mp3", "v1.mp3", "a.flac", "none.mp3"},
                            static_cast<TFactNeeds>(NeedsAudio | NeedsTimes), cache, reader);
    EXPECT_EQ(facts[0]->Text(TFileFacts::ArtistText), "Björk");
    EXPECT_EQ(facts[0]->Text(TFileFacts::TitleText), "Jóga");
    EXPECT_EQ(facts[0]->year, 1997u);
    EXPECT_EQ(facts[0]->track, 3u);
    EXPECT_EQ(facts[1]->Text(TFileFacts::ArtistText), "Mötley Crüe");
    EXPECT_EQ(facts[1]->track, 7u);
    EXPECT_EQ(facts[2]->Text(TFileFacts::ArtistText), "Sigur Rós");
    EXPECT_EQ(facts[2]->Text(TFileFacts::AlbumText), "()");
    EXPECT_FALSE(facts[2]->Has(TFileFacts::Genre));
    EXPECT_FALSE(facts[3]->Has(TFileFacts::Artist));
    EXPECT_FALSE(facts[3]->Has(TFileFacts::ContentUnreadable));
}

TEST(Facts, TextsOfTheFilesAreMadeValidAndShort) {
    EXPECT_EQ(TagText("Caf\xE9"), "Café");
    EXPECT_EQ(TagText("Café"), "Café");
    EXPECT_EQ(TagText(std::string("ab\0cd", 5)), "ab");
    const std::string longText = TagText(std::string(300, 'x') + "é");
    EXPECT_EQ(longText.size(), 255u);
    EXPECT_EQ(TagText(std::string(254, 'x') + "é").size(), 254u) << "never half a character";
    EXPECT_EQ(CameraName("Canon", "canon PowerShot"), "canon PowerShot");
    EXPECT_EQ(CameraName("", "X100"), "X100");
    EXPECT_FALSE(ParseRecordedDate("2024:13:01 00:00:00"));
    EXPECT_FALSE(ParseRecordedDate("junk"));
}

// Every file is answered, whatever it holds, and the test (the program) goes on.
TEST(Facts, HostileFilesAreRefusedWithoutACrashOrAHang) {
    TempFolder folder;
    test::MakePhoto(folder / "seed.jpg", {{"Exif.Photo.DateTimeOriginal", "2024:05:01 12:30:05"},
                                          {"Exif.Image.Model", std::string(200, 'M')}});
    test::MakeMp3(folder / "seed.mp3", {"A", "B", "C", "D", 2000, 1});
    const std::string photo = test::FileBytes(folder / "seed.jpg");
    const std::string audio = test::FileBytes(folder / "seed.mp3");
    std::mt19937 random(31);
    std::vector<std::string> names;
    // Cut short, bytes changed, pieces repeated: a corpus made from the seeds.
    for (int i = 0; i < 120; ++i) {
        std::string bytes = i % 2 ? photo : audio;
        switch (i % 3) {
        case 0:
            bytes.resize(random() % bytes.size());
            break;
        case 1:
            for (int k = 0; k < 8; ++k)
                bytes[random() % bytes.size()] = static_cast<char>(random());
            break;
        default: {
            const std::size_t at = random() % bytes.size();
            bytes.insert(at, bytes.substr(at / 2, 64 + random() % 256));
        }
        }
        names.push_back("fuzz" + std::to_string(i) + (i % 2 ? ".jpg" : ".mp3"));
        test::WriteBytes(folder / names.back(), bytes);
    }
    ASSERT_EQ(mkfifo((folder / "fifo.jpg").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (folder / "device.jpg").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (folder / "dangling.jpg").c_str()), 0);
    folder.AddFolder("folder.jpg");
    test::WriteBytes(folder / "empty.jpg", "");
    names.insert(names.end(), {"fifo.jpg", "device.jpg", "dangling.jpg", "folder.jpg", "empty.jpg",
                               "gone.jpg"});
    std::vector<std::string_view> views(names.begin(), names.end());
    TFactsCache cache;
    TFactsReader reader(Reader(), std::chrono::seconds(3));
    const auto start = std::chrono::steady_clock::now();
    const auto facts = Read(folder, views,
                            static_cast<TFactNeeds>(NeedsImage | NeedsAudio | NeedsTimes), cache,
                            reader);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    const std::size_t fifo = names.size() - 6;
    for (std::size_t i = fifo; i < fifo + 4; ++i)
        EXPECT_TRUE(facts[i]->Has(TFileFacts::ContentUnreadable)) << names[i];
    EXPECT_TRUE(facts[fifo]->Has(TFileFacts::Modified)) << "its times are there";
    EXPECT_FALSE(facts[fifo + 4]->Has(TFileFacts::Taken)) << "an empty file is no photo";
    EXPECT_FALSE(facts.back()->Has(TFileFacts::Modified)) << "a file that is gone has none";
}

TEST(Facts, AReaderThatHangsOrEndsIsRestartedAndItsFileRefused) {
    TempFolder folder({"a.jpg", "b.jpg", "c.jpg"});
    for (const std::vector<std::string>& broken :
         {std::vector<std::string>{"/bin/sh", "-c", "sleep 30"},
          std::vector<std::string>{"/bin/sh", "-c", "head -c 1 >/dev/null; exit 1"},
          std::vector<std::string>{"/bin/sh", "-c", "head -c 20 /dev/urandom; sleep 30"},
          std::vector<std::string>{"/nonexistent/reader"}}) {
        TFactsCache cache;
        TFactsReader reader(broken, std::chrono::milliseconds(300));
        const auto start = std::chrono::steady_clock::now();
        const auto facts = Read(folder, {"a.jpg", "b.jpg", "c.jpg"}, NeedsImage, cache, reader);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << broken[0];
        for (const TFileFacts* read : facts) {
            EXPECT_TRUE(read->Has(TFileFacts::ContentUnreadable)) << broken.back();
            EXPECT_TRUE(read->Has(TFileFacts::Modified)) << "the entry's own times stay";
        }
        if (broken.size() > 1) {
            EXPECT_EQ(reader.Starts(), 4u) << "one for the three in flight, then one a file: "
                                           << broken.back();
        }
    }
}

// The reader answers several files in one write: when it crashes or hangs with several in
// flight, only the file it failed on is refused, every other is read again.
TEST(Facts, OnlyTheFileAReaderFailedOnIsRefused) {
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i)
        names.push_back((i == 5 || i == 40 ? "crash" : i == 21 ? "hang" : "file") +
                        std::to_string(i));
    std::vector<TFactsReader::TRequest> requests;
    for (const std::string& name : names)
        requests.push_back({name, NeedsAudio});
    TFactsReader reader({FAKE_READER}, std::chrono::milliseconds(300));
    std::vector<std::string> answered;
    const auto start = std::chrono::steady_clock::now();
    reader.Read("/", requests, [&](std::size_t i, TReadFacts&& read) {
        EXPECT_EQ(i, answered.size()) << "in request order";
        answered.push_back(read.status.error ? "-" : read.texts[TFileFacts::ArtistText]);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(answered.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(answered[i], names[i].starts_with("file") ? names[i] : "-") << names[i];
    EXPECT_LE(reader.Starts(), 7u) << "a start for the files in flight and one for each failure";
}

TEST(Facts, AFileIsReadOnceUntilItChanges) {
    TempFolder folder;
    test::MakeMp3(folder / "a.mp3", {"First", "", "", "", 0, 0});
    test::MakeMp3(folder / "b.mp3", {"Second", "", "", "", 0, 0});
    TFactsCache cache;
    TFactsReader reader(Reader());
    Read(folder, {"a.mp3", "b.mp3"}, NeedsAudio, cache, reader);
    // A reader that cannot start reads nothing: what is kept answers.
    TFactsReader none({"/nonexistent/reader"});
    auto facts = Read(folder, {"b.mp3", "a.mp3"}, NeedsAudio, cache, none);
    EXPECT_EQ(facts[0]->Text(TFileFacts::ArtistText), "Second");
    EXPECT_EQ(facts[1]->Text(TFileFacts::ArtistText), "First");
    // Asked for more than was read, or changed on disk, a file is read again.
    EXPECT_TRUE(Read(folder, {"a.mp3"}, NeedsImage, cache, none)[0]->Has(TFileFacts::ContentUnreadable));
    test::MakeMp3(folder / "b.mp3", {"Changed", "", "", "", 0, 0});
    facts = Read(folder, {"a.mp3", "b.mp3"}, NeedsAudio, cache, reader);
    EXPECT_EQ(facts[0]->Text(TFileFacts::ArtistText), "First");
    EXPECT_EQ(facts[1]->Text(TFileFacts::ArtistText), "Changed");
}

TEST(Facts, KeptFactsCostAtMost64BytesAFileBeyondTheirValues) {
    TFactsCache cache;
    TReadFacts read;
    read.texts[TFileFacts::ArtistText] = "Artist";
    for (std::uint64_t inode = 1; inode <= 10000; ++inode) {
        TFileStatus status;
        status.inode = inode;
        status.device = 42;
        cache.Keep(status, read, NeedsAudio);
    }
    EXPECT_LE(cache.OverheadBytes() / cache.Files(), 64u);
    EXPECT_EQ(cache.ValueBytes(), 10000u * (40 + 6 + 5));
}

} // namespace
} // namespace nomilo
