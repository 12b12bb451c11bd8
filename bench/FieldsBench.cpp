// Names from what files hold, against their limits, in the same run:
//   - the dates taken of a folder of JPEG photos as the program reads them (each file's statx,
//     the cache, the reader process: what the preview waits for once the folder is open), against
//     a bare loop that opens each file with libexiv2 and reads its Exif, and the dry run of
//     nomilo-rename --fields beside exiftool's ('-testname<DateTimeOriginal', run once: it is
//     slow; skipped where exiftool is not installed);
//   - the audio tags of a folder of MP3 files, against a bare TagLib loop: both open each file
//     with the format its extension names, read no audio properties and take the same six tags;
//   - the memory the kept facts take a file beyond their values.
// Each way reports the median wall time and the CPU time (user + system, its reader process
// included) of the same rounds. NOMILO_BENCH_ONLY=bare-exiv2|facts-photos|bare-taglib|
// facts-audio runs that way alone, once, for valgrind --tool=callgrind --trace-children=yes;
// NOMILO_BENCH_EXIFTOOL=0 leaves exiftool out (it takes many minutes on 10,000 photos).
//   nomilo_bench_fields [ROUNDS=5] [FILES...=10000]

#include "bench/BenchFolder.h"
#include "facts/FolderFacts.h"
#include "facts/ReaderProcess.h"

#include <exiv2/exiv2.hpp>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nomilo::bench {
namespace {

namespace fs = std::filesystem;

// A baseline JPEG of 3 x 2 grey pixels, as the tests make it.
const unsigned char kJpeg[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',  0x00, 0x01, 0x01, 0x01, 0x00,
    0x48, 0x00, 0x48, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x02, 0x00, 0x03, 0x01,
    0x01, 0x11, 0x00, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x2A, 0x9F,
    0xFF, 0xD9,
};

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A folder of `count` copies of `seed`, made once and kept.
std::string Folder(const std::string& kind, int count, const std::string& extension,
                   const std::function<void(const std::string&)>& seed) {
    const std::string folder = BenchRoot() + "/fields-" + kind + "-" + std::to_string(count);
    if (fs::exists(folder + "/done"))
        return folder;
    fs::remove_all(folder);
    fs::create_directories(folder);
    seed(folder + "/seed");
    const std::string bytes = Bytes(folder + "/seed");
    fs::remove(folder + "/seed");
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%06d%s", i, extension.c_str());
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
    }
    std::ofstream(folder + "/done") << "";
    return folder;
}

void MakePhoto(const std::string& path) {
    std::ofstream(path, std::ios::binary)
        << std::string(reinterpret_cast<const char*>(kJpeg), sizeof kJpeg);
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "Canon";
    exif["Exif.Image.Model"] = "Canon EOS 5D";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:01 12:30:05";
    exif["Exif.Photo.ExposureTime"] = Exiv2::Rational(1, 250);
    image->setExifData(exif);
    image->writeMetadata();
}

void MakeMp3(const std::string& path) {
    std::string frames;
    for (int i = 0; i < 8; ++i) {
        std::string frame(417, '\0');
        frame[0] = '\xFF', frame[1] = '\xFB', frame[2] = '\x90', frame[3] = '\x44';
        frames += frame;
    }
    std::ofstream(path, std::ios::binary) << frames;
    TagLib::MPEG::File file(path.c_str(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    tag->setArtist("Artist");
    tag->setAlbum("Album");
    tag->setTitle("Title");
    tag->setTrack(7);
    file.save(TagLib::MPEG::File::ID3v2);
}

std::vector<std::string> Names(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension)
            names.push_back(entry.path().filename());
    return names;
}

// CPU seconds of this process and of the children it has reaped.
double CpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

struct Way {
    std::string name;
    std::function<void()> run;
    std::vector<double> wall, cpu;
};

void Measure(Way& way) {
    const double cpu = CpuSeconds();
    way.wall.push_back(Seconds(way.run));
    way.cpu.push_back(CpuSeconds() - cpu);
}

void Report(const std::vector<Way>& ways, const std::string& base) {
    double baseWall = 0, baseCpu = 0;
    for (const Way& way : ways)
        if (way.name == base) {
            baseWall = Median(way.wall);
            baseCpu = Median(way.cpu);
        }
    for (const Way& way : ways)
        std::printf("  %-44s wall %8.3f s (%5.2fx)   cpu %8.3f s (%5.2fx)\n", way.name.c_str(),
                    Median(way.wall), Median(way.wall) / baseWall, Median(way.cpu),
                    Median(way.cpu) / baseCpu);
}

void RunProgram(const std::vector<std::string>& arguments, const std::string& folder) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        waitpid(child, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
}

// The program's reading of `names` in `folder`, from nothing kept.
void ReadFacts(const std::string& folder, const std::vector<std::string>& names, TFactNeeds needs,
               std::size_t* overhead = nullptr) {
    TFactsCache cache;
    TFactsReader reader({NOMILO_RENAME_PROGRAM, kReadFactsArgument});
    std::vector<std::string_view> views(names.begin(), names.end());
    std::size_t read = 0;
    ReadFolderFacts(folder, views, needs, cache, reader,
                    [&](std::size_t, const TFileFacts* facts) { read += facts->Has(TFileFacts::Taken) || facts->Has(TFileFacts::Artist); });
    if (read != names.size())
        std::fprintf(stderr, "only %zu of %zu files gave their value\n", read, names.size());
    if (overhead)
        *overhead = cache.OverheadBytes() / std::max<std::size_t>(cache.Files(), 1);
}

void BareExiv2(const std::string& folder, const std::vector<std::string>& names) {
    std::size_t read = 0;
    for (const std::string& name : names) {
        auto image = Exiv2::ImageFactory::open(folder + "/" + name);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        read += exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal")) != exif.end();
    }
    if (read != names.size())
        std::fprintf(stderr, "bare loop: only %zu dates\n", read);
}

// Opens each file by its name (TagLib knows the format by its extension, no audio properties)
// and takes the six tags the fields name as UTF-8 texts and numbers, as the reader does.
void BareTagLib(const std::string& folder, const std::vector<std::string>& names) {
    std::size_t read = 0, bytes = 0;
    for (const std::string& name : names) {
        TagLib::FileRef file((folder + "/" + name).c_str(), false);
        const TagLib::Tag* tag = file.isNull() ? nullptr : file.tag();
        if (!tag)
            continue;
        for (const TagLib::String& text : {tag->artist(), tag->album(), tag->title(), tag->genre()})
            bytes += text.to8Bit(true).size();
        bytes += tag->year() + tag->track();
        read += !tag->artist().isEmpty();
    }
    if (read != names.size() || bytes == 0)
        std::fprintf(stderr, "bare loop: only %zu artists\n", read);
}

} // namespace
} // namespace nomilo::bench

int main(int argc, char** argv) {
    using namespace nomilo;
    using namespace nomilo::bench;
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    const BenchArguments arguments = ParseBenchArguments(argc, argv, {10000});
    const char* only = std::getenv("NOMILO_BENCH_ONLY");
    for (const int files : arguments.sizes) {
        const std::string photos = Folder("photos", files, ".jpg", MakePhoto);
        const std::string audio = Folder("audio", files, ".mp3", MakeMp3);
        const std::vector<std::string> photoNames = Names(photos, ".jpg");
        const std::vector<std::string> audioNames = Names(audio, ".mp3");
        std::vector<Way> photoWays = {
            {"bare libexiv2 loop", [&] { BareExiv2(photos, photoNames); }, {}, {}},
            {"facts of the folder (statx, reader process)",
             [&] { ReadFacts(photos, photoNames, NeedsImage); }, {}, {}},
            {"nomilo-rename -n --fields {taken}{copy}",
             [&] {
                 RunProgram({NOMILO_RENAME_PROGRAM, "-n", "--fields", "--regex", "^IMG_\\d+",
                             "{taken:%Y-%m-%d_%H%M%S}{copy}"},
                            photos);
             },
             {}, {}},
        };
        std::vector<Way> audioWays = {
            {"bare TagLib loop", [&] { BareTagLib(audio, audioNames); }, {}, {}},
            {"facts of the folder (statx, reader process)",
             [&] { ReadFacts(audio, audioNames, NeedsAudio); }, {}, {}},
        };
        if (only) {
            const std::string way = only;
            if (way == "bare-exiv2") BareExiv2(photos, photoNames);
            if (way == "facts-photos") ReadFacts(photos, photoNames, NeedsImage);
            if (way == "bare-taglib") BareTagLib(audio, audioNames);
            if (way == "facts-audio") ReadFacts(audio, audioNames, NeedsAudio);
            return 0;
        }
        for (int round = 0; round < arguments.rounds; ++round) {
            for (std::size_t w = 0; w < photoWays.size(); ++w)
                Measure(photoWays[(w + static_cast<std::size_t>(round)) % photoWays.size()]);
            for (std::size_t w = 0; w < audioWays.size(); ++w)
                Measure(audioWays[(w + static_cast<std::size_t>(round)) % audioWays.size()]);
        }
        std::printf("Dates taken of %d JPEG photos:\n", files);
        const char* exiftool = std::getenv("NOMILO_BENCH_EXIFTOOL");
        if (access("/usr/bin/exiftool", X_OK) == 0 && !(exiftool && *exiftool == '0')) {
            // Its dry run: -testname in place of -filename tells the names, renaming nothing.
            Way exiftool{"exiftool '-testname<DateTimeOriginal'",
                         [&] {
                             RunProgram({"exiftool", "-q", "-d", "%Y-%m-%d_%H%M%S%%-c.%%e",
                                         "-testname<DateTimeOriginal", photos},
                                        photos);
                         },
                         {}, {}};
            Measure(exiftool);
            photoWays.push_back(exiftool);
        }
        Report(photoWays, "bare libexiv2 loop");
        std::printf("Audio tags of %d MP3 files:\n", files);
        Report(audioWays, "bare TagLib loop");
        std::size_t overhead = 0;
        ReadFacts(audio, audioNames, NeedsAudio, &overhead);
        std::printf("Kept facts: %zu bytes a file beyond their values\n", overhead);
    }
}
