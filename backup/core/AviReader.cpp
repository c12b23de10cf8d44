#include "AviReader.h"
#include <algorithm>
#include <cstring>

namespace backup {
namespace {

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
bool Is(const uint8_t* p, const char* cc) { return std::memcmp(p, cc, 4) == 0; }

// "NNdc", "NNdb", "NNwb": the stream number, or -1.
int StreamOf(const uint8_t* id)
{
    if (id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9')
        return -1;
    return (id[0] - '0') * 10 + (id[1] - '0');
}

constexpr uint32_t kSoundRate = 8000;
constexpr size_t kMaxHeaderList = 64 * 1024;

} // namespace

void AviReader::Note(const std::string& what)
{
    if (problem_.empty())
        problem_ = what;
}

int64_t AviReader::SlotUs(uint64_t slot) const
{
    if (rate_ == 0)
        return 0;
    return int64_t(static_cast<unsigned __int128>(slot) * scale_ * 1000000 / rate_);
}

bool AviReader::Read(uint64_t offset, uint32_t size, std::vector<uint8_t>* out) const
{
    if (offset > fileSize_ || size > fileSize_ - offset)
        return false;
    out->resize(size);
    return size == 0 || f_.ReadAt(offset, out->data(), size) == int64_t(size);
}

bool AviReader::Peek(uint64_t offset, uint8_t* out, size_t n) const
{
    constexpr size_t kWindow = 256 * 1024;
    if (offset > fileSize_ || n > fileSize_ - offset || n > kWindow)
        return false;
    if (offset < windowAt_ || offset + n > windowAt_ + window_.size()) {
        const size_t want = size_t(std::min<uint64_t>(kWindow, fileSize_ - offset));
        window_.resize(want);
        const int64_t got = f_.ReadAt(offset, window_.data(), want);
        window_.resize(got > 0 ? size_t(got) : 0);
        windowAt_ = offset;
        if (window_.size() < n)
            return false;
    }
    std::memcpy(out, window_.data() + (offset - windowAt_), n);
    return true;
}

bool AviReader::Open(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& why) {
        *error = why;
        return false;
    };
    f_ = store::File::Read(path);
    if (!f_.IsOpen())
        return fail("cannot open " + path);
    const int64_t size = f_.Size();
    if (size < 12)
        return fail("no AVI file: too short");
    fileSize_ = uint64_t(size);
    uint8_t head[12];
    if (f_.ReadAt(0, head, 12) != 12 || !Is(head, "RIFF") || !Is(head + 8, "AVI "))
        return fail("no AVI file");
    // A RIFF size of 0 or past the end: the file was cut short (or never finished).
    uint64_t end = 8 + uint64_t(U32(head + 4));
    const bool cut = U32(head + 4) == 0 || end > fileSize_;
    if (cut)
        end = fileSize_;
    bool haveHeaders = false;
    uint64_t idxAt = 0;
    uint32_t idxSize = 0;
    for (uint64_t pos = 12; pos + 8 <= end;) {
        uint8_t ch[12];
        if (f_.ReadAt(pos, ch, 8) != 8)
            break;
        const uint64_t n = U32(ch + 4);
        const uint64_t dataEnd = pos + 8 + n;
        if (Is(ch, "LIST") && f_.ReadAt(pos + 8, ch + 8, 4) == 4) {
            if (Is(ch + 8, "hdrl")) {
                if (n < 4 || dataEnd > end || n > kMaxHeaderList)
                    return fail("the AVI header is damaged");
                if (!ParseHeaders(pos + 12, dataEnd, error))
                    return false;
                haveHeaders = true;
            } else if (Is(ch + 8, "movi")) {
                moviList_ = pos + 8;
                moviEnd_ = std::min(dataEnd, end);
                if (n <= 4 || dataEnd > end) { // never finished, or cut short: the chunks run to the end
                    moviEnd_ = end;
                    break;
                }
            }
        } else if (Is(ch, "idx1")) {
            idxAt = pos + 8;
            idxSize = dataEnd <= end ? uint32_t(n) : 0; // an index cut short is no index
        }
        if (dataEnd >= end)
            break;
        pos = dataEnd + (n & 1);
    }
    if (!haveHeaders)
        return fail("no AVI header in the file");
    if (moviList_ == 0)
        return fail("no pictures in the file");
    const bool indexed = idxAt != 0 && UseIndex(idxAt, idxSize);
    if (!indexed) {
        video_.clear();
        sound_.clear();
        samples_ = 0;
        Scan();
    }
    if (cut)
        Note("the file was cut short: it plays up to where it ends");
    if (!indexed)
        Note(idxAt != 0 ? "the index is damaged: the pictures were found by reading the file through"
                        : "the file has no index: the pictures were found by reading it through");
    return true;
}

bool AviReader::ParseHeaders(uint64_t from, uint64_t to, std::string* error)
{
    std::vector<uint8_t> h;
    if (!Read(from, uint32_t(to - from), &h)) {
        *error = "the AVI header is cut short";
        return false;
    }
    // The stream lists in order: their position is their number.
    int stream = 0;
    for (size_t p = 0; p + 12 <= h.size();) {
        const uint32_t n = U32(&h[p + 4]);
        if (n > h.size() - p - 8)
            break;
        if (Is(&h[p], "LIST") && n >= 4 && Is(&h[p + 8], "strl")) {
            const uint8_t* strh = nullptr;
            const uint8_t* strf = nullptr;
            uint32_t strfSize = 0;
            for (size_t q = p + 12; q + 8 <= p + 8 + n;) {
                const uint32_t m = U32(&h[q + 4]);
                if (m > p + 8 + n - q - 8)
                    break;
                if (Is(&h[q], "strh") && m >= 56)
                    strh = &h[q + 8];
                else if (Is(&h[q], "strf")) {
                    strf = &h[q + 8];
                    strfSize = m;
                }
                q += 8 + m + (m & 1);
            }
            if (strh && Is(strh, "vids") && videoStream_ < 0 && strf && strfSize >= 40) {
                videoStream_ = stream;
                scale_ = U32(strh + 20);
                rate_ = U32(strh + 24);
                width_ = int(int32_t(U32(strf + 4)));
                height_ = std::abs(int(int32_t(U32(strf + 8))));
            } else if (strh && Is(strh, "auds") && soundStream_ < 0 && strf && strfSize >= 16) {
                if (U16(strf) == 1 && U16(strf + 2) == 1 && U32(strf + 4) == kSoundRate && U16(strf + 14) == 16)
                    soundStream_ = stream;
                else
                    Note("the sound is not 8 kHz 16-bit PCM: it is not played");
            }
            ++stream;
        }
        p += 8 + n + (n & 1);
    }
    if (videoStream_ < 0) {
        *error = "no video stream in the file";
        return false;
    }
    if (width_ < 16 || height_ < 16 || width_ > 720 || height_ > 576 || width_ % 16 || height_ % 16) {
        *error = "pictures of " + std::to_string(width_) + " x " + std::to_string(height_) + " cannot be shown";
        return false;
    }
    // At most 100 pictures a second, at least one every 10 s.
    if (rate_ == 0 || scale_ == 0 || uint64_t(scale_) * 100 < rate_ || uint64_t(scale_) > uint64_t(rate_) * 10) {
        *error = "the file's picture rate is impossible";
        return false;
    }
    return true;
}

// An intra picture: the first VOP start code within the first bytes (after the VOL the export
// puts in front) has coding type 0.
bool AviReader::IsKey(uint64_t offset, uint32_t size) const
{
    uint8_t b[64];
    const uint32_t n = std::min<uint32_t>(size, sizeof b);
    if (n < 5 || !Peek(offset, b, n))
        return false;
    for (uint32_t i = 0; i + 4 < n; ++i)
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == 0xB6)
            return (b[i + 4] >> 6) == 0;
    return false;
}

bool AviReader::Add(int stream, bool sound, uint64_t offset, uint32_t size)
{
    if (video_.size() + sound_.size() >= kMaxChunks) {
        Note("the file holds more chunks than can be played: the rest is passed over");
        return false;
    }
    if (stream == videoStream_ && !sound) {
        AviVideoChunk c;
        if (size > kMaxPicture) {
            Note("picture " + std::to_string(video_.size() + 1) + " is too large: passed over");
        } else if (size > 0) {
            c.offset = offset;
            c.size = size;
            c.key = IsKey(offset, size);
        }
        video_.push_back(c);
    } else if (stream == soundStream_ && sound && size >= 2) {
        sound_.push_back({offset, size & ~1u, samples_});
        samples_ += size / 2;
    }
    return true;
}

// The idx1 entries, each checked against the chunk header found at its offset (relative to the
// "movi" fourcc, or, as some writers have it, to the file). False at the first that does not match.
bool AviReader::UseIndex(uint64_t at, uint32_t size)
{
    const uint32_t count = size / 16;
    if (count == 0)
        return false;
    std::vector<uint8_t> idx;
    if (!Read(at, count * 16, &idx))
        return false;
    uint64_t base = UINT64_MAX;
    for (uint64_t candidate : {moviList_, uint64_t(0)}) {
        const uint64_t pos = candidate + U32(&idx[8]);
        uint8_t ch[8];
        if (pos + 8 <= moviEnd_ && Peek(pos, ch, 8) && std::memcmp(ch, &idx[0], 4) == 0 &&
            U32(ch + 4) == U32(&idx[12])) {
            base = candidate;
            break;
        }
    }
    if (base == UINT64_MAX)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = &idx[size_t(i) * 16];
        const int stream = StreamOf(e);
        const bool sound = e[2] == 'w' && e[3] == 'b';
        const bool picture = e[2] == 'd' && (e[3] == 'c' || e[3] == 'b');
        if (stream < 0 || (!sound && !picture))
            continue; // another stream's kind of chunk: not ours to play
        const uint64_t pos = base + U32(e + 8);
        const uint32_t n = U32(e + 12);
        uint8_t ch[8];
        if (pos < moviList_ + 4 || pos + 8 > moviEnd_ || n > moviEnd_ - pos - 8 || !Peek(pos, ch, 8) ||
            std::memcmp(ch, e, 4) != 0 || U32(ch + 4) != n)
            return false;
        if (!Add(stream, sound, pos + 8, n))
            break;
    }
    return true;
}

// The movie list read chunk by chunk, up to its end or the first chunk that is not whole or not
// a chunk at all.
void AviReader::Scan()
{
    uint64_t pos = moviList_ + 4;
    while (pos + 8 <= moviEnd_) {
        uint8_t ch[12];
        if (!Peek(pos, ch, 8))
            break;
        const uint32_t n = U32(ch + 4);
        if (Is(ch, "LIST")) { // a "rec " group: its chunks follow
            pos += 12;
            continue;
        }
        if (n > moviEnd_ - pos - 8) {
            Note("the file is cut short after picture " + std::to_string(video_.size()) +
                 ": what follows is not played");
            return;
        }
        const int stream = StreamOf(ch);
        const bool sound = stream >= 0 && ch[2] == 'w' && ch[3] == 'b';
        const bool picture = stream >= 0 && ch[2] == 'd' && (ch[3] == 'c' || ch[3] == 'b');
        if (!sound && !picture && !Is(ch, "JUNK") && !(ch[0] == 'i' && ch[1] == 'x')) {
            Note("the file is damaged after picture " + std::to_string(video_.size()) + " (at byte " +
                 std::to_string(pos) + "): what follows is not played");
            return;
        }
        if ((sound || picture) && !Add(stream, sound, pos + 8, n))
            return;
        pos += 8 + uint64_t(n) + (n & 1);
    }
    if (pos < moviEnd_ && pos + 8 > moviEnd_)
        Note("the file is cut short after picture " + std::to_string(video_.size()));
}

} // namespace backup
