#include "facts/FactsWire.h"

#include <cstring>

namespace nomilo {

namespace {

constexpr std::size_t kLongestFrame = 1 << 20;

template <typename T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

// Reads the frame's parts in order; any read past its end fails the whole decoding.
class TReader {
public:
    explicit TReader(std::string_view frame) : frame_(frame) {}
    template <typename T>
    T Get() {
        T value{};
        if (at_ + sizeof(T) > frame_.size()) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, frame_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }
    std::string_view Bytes(std::size_t size) {
        if (at_ + size > frame_.size()) {
            ok_ = false;
            return {};
        }
        const std::string_view bytes = frame_.substr(at_, size);
        at_ += size;
        return bytes;
    }
    std::string_view Rest() { return Bytes(frame_.size() - at_); }
    bool Ok() const { return ok_ && at_ == frame_.size(); }

private:
    std::string_view frame_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

std::string Framed(const std::string& body) {
    std::string frame;
    Put(frame, static_cast<std::uint32_t>(body.size()));
    return frame + body;
}

} // namespace

std::string EncodeRequest(std::uint32_t id, TFactNeeds needs, std::string_view name) {
    std::string body;
    Put(body, id);
    Put(body, static_cast<std::uint8_t>(needs));
    body.append(name);
    return Framed(body);
}

bool DecodeRequest(std::string_view frame, std::uint32_t& id, TFactNeeds& needs,
                   std::string& name) {
    TReader reader(frame);
    id = reader.Get<std::uint32_t>();
    needs = static_cast<TFactNeeds>(reader.Get<std::uint8_t>());
    name.assign(reader.Rest());
    return reader.Ok();
}

std::string EncodeAnswer(std::uint32_t id, const TReadFacts& read) {
    std::string body;
    Put(body, id);
    const TFileStatus& s = read.status;
    Put(body, s.error);
    Put(body, s.mode);
    Put(body, s.device);
    Put(body, s.inode);
    Put(body, s.size);
    Put(body, s.changed);
    Put(body, s.modified);
    Put(body, s.born);
    Put(body, static_cast<std::uint8_t>(s.hasBirth));
    const TFileFacts& f = read.facts;
    Put(body, f.modified);
    Put(body, f.created);
    Put(body, f.taken);
    Put(body, f.width);
    Put(body, f.height);
    Put(body, f.year);
    Put(body, f.track);
    Put(body, f.present);
    for (const std::string& text : read.texts) {
        Put(body, static_cast<std::uint16_t>(text.size()));
        body.append(text);
    }
    return Framed(body);
}

bool DecodeAnswer(std::string_view frame, std::uint32_t& id, TReadFacts& read) {
    TReader reader(frame);
    id = reader.Get<std::uint32_t>();
    TFileStatus& s = read.status;
    s.error = reader.Get<int>();
    s.mode = reader.Get<std::uint32_t>();
    s.device = reader.Get<std::uint64_t>();
    s.inode = reader.Get<std::uint64_t>();
    s.size = reader.Get<std::int64_t>();
    s.changed = reader.Get<std::int64_t>();
    s.modified = reader.Get<std::int64_t>();
    s.born = reader.Get<std::int64_t>();
    s.hasBirth = reader.Get<std::uint8_t>() != 0;
    TFileFacts& f = read.facts;
    f.modified = reader.Get<std::int64_t>();
    f.created = reader.Get<std::int64_t>();
    f.taken = reader.Get<std::int64_t>();
    f.width = reader.Get<std::uint32_t>();
    f.height = reader.Get<std::uint32_t>();
    f.year = reader.Get<std::uint32_t>();
    f.track = reader.Get<std::uint32_t>();
    f.present = reader.Get<std::uint16_t>();
    for (std::string& text : read.texts)
        text.assign(reader.Bytes(reader.Get<std::uint16_t>()));
    return reader.Ok();
}

bool TFrames::Next(std::string_view& frame) {
    if (used_ > 0 && used_ * 2 >= buffer_.size()) {
        buffer_.erase(0, used_);
        used_ = 0;
    }
    std::uint32_t length = 0;
    if (buffer_.size() - used_ < sizeof length)
        return false;
    std::memcpy(&length, buffer_.data() + used_, sizeof length);
    if (length > kLongestFrame) {
        garbled_ = true;
        return false;
    }
    if (buffer_.size() - used_ - sizeof length < length)
        return false;
    frame = std::string_view(buffer_).substr(used_ + sizeof length, length);
    used_ += sizeof length + length;
    return true;
}

} // namespace nomilo
