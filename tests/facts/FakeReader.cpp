// A reader process for the tests of the program's side: it answers each request with the name
// it was asked for as the artist, all the answers to one read of requests in one write, and
// crashes on a name that begins with "crash", hangs on one that begins with "hang".
#include "facts/FactsWire.h"
#include "platform/process/HelperProcess.h"

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

int main() {
    using namespace nomilo;
    LimitHelper(0);
    TFrames frames;
    std::string name;
    char bytes[1 << 16];
    for (;;) {
        const long got = ReadRequests(bytes, sizeof bytes);
        if (got <= 0)
            return 0;
        frames.Add(bytes, static_cast<std::size_t>(got));
        std::string answers;
        std::string_view frame;
        while (frames.Next(frame)) {
            std::uint32_t id = 0;
            TFactNeeds needs = NeedsNothing;
            if (!DecodeRequest(frame, id, needs, name))
                return 2;
            if (id == kFolderRequest)
                continue;
            if (name.starts_with("crash"))
                raise(SIGSEGV);
            if (name.starts_with("hang"))
                sleep(60);
            TReadFacts read;
            read.status.mode = S_IFREG;
            read.facts.present = TFileFacts::Artist;
            read.texts[TFileFacts::ArtistText] = name;
            answers += EncodeAnswer(id, read);
        }
        if (!WriteAnswer(answers.data(), answers.size()))
            return 0;
    }
}
