#include "StreamRecorder.h"
#include "VolHeader.h"
#include "wire/StreamFrame.h"
#include <png.h>
#include <cstring>

namespace recorder {

struct StreamRecorder::Channel {
    FILE* m4v = nullptr;
    FILE* csv = nullptr;
    ChannelSummary s;
    bool haveSequence = false;
    uint32_t lastSequence = 0;
    int volWidth = 0, volHeight = 0;
    bool volInterlaced = false;
    std::vector<uint8_t> snapshot; // BGR, last decoded picture
    int snapWidth = 0, snapHeight = 0;
};

StreamRecorder::StreamRecorder(const video::XvidApi& xvid, std::string dir, int channels)
    : dir_(std::move(dir)), channels_(channels < 1 ? 1 : (channels > 16 ? 16 : channels)), decoder_(xvid)
{
    std::vector<int> w(size_t(channels_), 720), h(size_t(channels_), 480);
    decoder_.Initialize(channels_, 0, w.data(), h.data(), nullptr);
    ch_.resize(size_t(channels_));
}

StreamRecorder::~StreamRecorder() { Finish(); }

StreamRecorder::Channel* StreamRecorder::Open(int ch)
{
    auto& c = ch_[size_t(ch)];
    if (c)
        return c.get();
    c = std::make_unique<Channel>();
    c->s.channel = ch;
    char name[64];
    std::snprintf(name, sizeof name, "/ch%02d.m4v", ch + 1);
    c->m4v = std::fopen((dir_ + name).c_str(), "wb");
    std::snprintf(name, sizeof name, "/ch%02d.csv", ch + 1);
    c->csv = std::fopen((dir_ + name).c_str(), "w");
    if (c->csv)
        std::fprintf(c->csv, "sequence,type,width,height,interlaced,bytes,recorded_utc,decoded\n");
    return c.get();
}

void StreamRecorder::OnStreamBlock(const uint8_t* data, size_t size)
{
    if (finished_ || wire::IsAudioTag(data, size))
        return;
    wire::VideoFrameHeader h;
    if (!wire::ParseVideoFrameHeader(data, size, h))
        return;
    const int ch = static_cast<int>(h.ChannelBits() & 0x0F);
    if (h.ChannelBits() < 16 || ch >= channels_)
        return;
    Channel* c = Open(ch);
    ++c->s.frames;
    const int w = h.Width(), ht = h.Height();
    if (h.total < wire::kVideoHeaderSize || h.total > size || w == 0 || ht == 0 || w > video::kMaxPictureWidth ||
        ht > video::kMaxPictureHeight) {
        ++c->s.refused;
        return;
    }
    if (c->haveSequence && h.sequence > c->lastSequence + 1ull)
        c->s.lost += h.sequence - c->lastSequence - 1;
    if (!c->haveSequence || h.sequence > c->lastSequence) {
        c->lastSequence = h.sequence;
        c->haveSequence = true;
    }

    // The elementary stream: a VOL whenever the picture format changes, then the bare VOP.
    const bool interlaced = video::VolInterlaced(ht, h.Interlaced());
    if (c->m4v) {
        if (w != c->volWidth || ht != c->volHeight || interlaced != c->volInterlaced) {
            uint8_t vol[video::kVolSize];
            video::BuildVolHeader(w, ht, h.Interlaced(), vol);
            std::fwrite(vol, 1, sizeof vol, c->m4v);
            c->volWidth = w;
            c->volHeight = ht;
            c->volInterlaced = interlaced;
        }
        std::fwrite(data + wire::kVideoHeaderSize, 1, h.total - wire::kVideoHeaderSize, c->m4v);
    }

    video::DecodedPicture pic{};
    const bool decoded = decoder_.DecodeFrame(h, data, size, &pic, ch) > 0 && pic.plane[0];
    if (decoded) {
        ++c->s.decoded;
        c->snapWidth = w;
        c->snapHeight = ht;
        c->snapshot.assign(static_cast<const uint8_t*>(pic.plane[0]),
                           static_cast<const uint8_t*>(pic.plane[0]) + size_t(w) * ht * 3);
    }
    c->s.width = w;
    c->s.height = ht;
    if (c->csv)
        std::fprintf(c->csv, "%u,%c,%d,%d,%d,%u,20%02u-%02u-%02u %02u:%02u:%02u.%06u,%d\n", h.sequence,
                     h.Predicted() ? 'P' : 'I', w, ht, h.Interlaced() ? 1 : 0, h.total, h.year, h.month, h.day, h.hour,
                     h.minute, h.second, h.microseconds % 1000000, decoded ? 1 : 0);
}

bool StreamRecorder::Finish(std::string* error)
{
    if (finished_)
        return true;
    finished_ = true;
    bool ok = true;
    for (auto& c : ch_) {
        if (!c)
            continue;
        if (c->m4v)
            ok = std::fclose(c->m4v) == 0 && ok;
        if (c->csv)
            ok = std::fclose(c->csv) == 0 && ok;
        c->m4v = c->csv = nullptr;
        if (!c->snapshot.empty()) {
            char name[64];
            std::snprintf(name, sizeof name, "/ch%02d.png", c->s.channel + 1);
            if (!WriteBgrPng(dir_ + name, c->snapshot.data(), c->snapWidth, c->snapHeight, c->snapWidth * 3)) {
                ok = false;
                if (error)
                    *error = "cannot write " + dir_ + name;
            }
        }
    }
    decoder_.Destroy();
    return ok;
}

std::vector<ChannelSummary> StreamRecorder::Summaries() const
{
    std::vector<ChannelSummary> out;
    for (int i = 0; i < channels_; ++i)
        if (ch_[size_t(i)])
            out.push_back(ch_[size_t(i)]->s);
    return out;
}

std::string StreamRecorder::SummaryLine(const ChannelSummary& s)
{
    char b[160];
    std::snprintf(b, sizeof b, "channel %d: %dx%d, frames %llu, lost %llu, decoded %llu%s", s.channel + 1, s.width,
                  s.height, static_cast<unsigned long long>(s.frames), static_cast<unsigned long long>(s.lost),
                  static_cast<unsigned long long>(s.decoded),
                  s.refused ? (", refused " + std::to_string(s.refused)).c_str() : "");
    return b;
}

bool WriteBgrPng(const std::string& path, const uint8_t* bgr, int width, int height, int stride)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    std::vector<uint8_t> row(size_t(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = bgr + size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            row[size_t(x) * 3] = s[x * 3 + 2];
            row[size_t(x) * 3 + 1] = s[x * 3 + 1];
            row[size_t(x) * 3 + 2] = s[x * 3];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

} // namespace recorder
