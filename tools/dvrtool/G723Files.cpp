#include "G723Files.h"

#include "G723Coder.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace dvrtool {
namespace {

constexpr int kRate = 8000;
constexpr int kChunkSamples = 8 * 1024; // whole groups, so no code word is dropped between chunks
constexpr int kChunkBytes = kChunkSamples * 3 / 8;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
struct SndCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;
using Snd = std::unique_ptr<SNDFILE, SndCloser>;

// Reads as much as asked unless the file ends: a short chunk in the middle would cut a group.
// Sets `error` and answers false, as every step of a conversion does when it fails.
bool Failed(std::string& error, std::string message)
{
    error = std::move(message);
    return false;
}

size_t ReadFully(FILE* f, uint8_t* buf, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const size_t r = std::fread(buf + got, 1, n - got, f);
        if (r == 0)
            break;
        got += r;
    }
    return got;
}

std::string FormatName(int format)
{
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
        return info.name;
    char buf[32];
    std::snprintf(buf, sizeof buf, "format 0x%x", format);
    return buf;
}

// A PCM source: a raw little-endian file or a WAV that must already be 8 kHz mono 16-bit.
class PcmReader {
public:
    bool Open(const std::string& path, std::string& error)
    {
        if (IsWavPath(path)) {
            SF_INFO info{};
            wav_.reset(sf_open(path.c_str(), SFM_READ, &info));
            if (!wav_)
                return Failed(error, path + ": not a readable WAV file (" + sf_strerror(nullptr) + ")");
            const int major = info.format & SF_FORMAT_TYPEMASK;
            const int sub = info.format & SF_FORMAT_SUBMASK;
            if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || sub != SF_FORMAT_PCM_16 ||
                info.samplerate != kRate || info.channels != 1) {
                error = path + " is " + FormatName(major) + ", " + FormatName(sub) + ", " +
                    std::to_string(info.samplerate) + " Hz, " + std::to_string(info.channels) +
                    (info.channels == 1 ? " channel" : " channels") +
                    "; expected a WAV of signed 16 bit PCM, 8000 Hz, 1 channel";
                return false;
            }
            return true;
        }
        raw_.reset(std::fopen(path.c_str(), "rb"));
        if (!raw_)
            error = path + ": cannot open for reading";
        return raw_ != nullptr;
    }

    // Reads up to n samples; returns how many, 0 at the end, -1 on a read error.
    long Read(int16_t* pcm, int n)
    {
        if (wav_)
            return static_cast<long>(sf_read_short(wav_.get(), pcm, n));
        uint8_t bytes[2 * kChunkSamples];
        const size_t got = ReadFully(raw_.get(), bytes, 2 * static_cast<size_t>(n));
        if (got < 2 * static_cast<size_t>(n) && std::ferror(raw_.get()))
            return -1;
        oddByte_ = got % 2 != 0;
        for (size_t i = 0; i + 1 < got; i += 2)
            pcm[i / 2] = static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8));
        return static_cast<long>(got / 2);
    }

    bool OddByte() const { return oddByte_; }

private:
    Snd wav_;
    File raw_;
    bool oddByte_ = false;
};

class PcmWriter {
public:
    bool Open(const std::string& path, std::string& error)
    {
        if (IsWavPath(path)) {
            SF_INFO info{};
            info.samplerate = kRate;
            info.channels = 1;
            info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
            wav_.reset(sf_open(path.c_str(), SFM_WRITE, &info));
            if (!wav_)
                error = path + ": cannot create the WAV file (" + sf_strerror(nullptr) + ")";
            return wav_ != nullptr;
        }
        raw_.reset(std::fopen(path.c_str(), "wb"));
        if (!raw_)
            error = path + ": cannot open for writing";
        return raw_ != nullptr;
    }

    bool Write(const int16_t* pcm, int n)
    {
        if (wav_)
            return sf_write_short(wav_.get(), pcm, n) == n;
        std::vector<uint8_t> bytes(2 * static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            bytes[2 * i] = static_cast<uint8_t>(pcm[i]);
            bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(pcm[i]) >> 8);
        }
        return std::fwrite(bytes.data(), 1, bytes.size(), raw_.get()) == bytes.size();
    }

    bool Close()
    {
        if (raw_) {
            const bool ok = std::fflush(raw_.get()) == 0;
            raw_.reset();
            return ok;
        }
        wav_.reset();
        return true;
    }

private:
    Snd wav_;
    File raw_;
};

} // namespace

bool IsWavPath(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".wav";
}

bool EncodeG723File(const std::string& in, const std::string& out, std::string& error)
{
    if (IsWavPath(out))
        return Failed(error,
                      out + ": coded output is written raw (packed 3-bit code words); give it another extension");
    PcmReader reader;
    if (!reader.Open(in, error))
        return false;
    File dst(std::fopen(out.c_str(), "wb"));
    if (!dst)
        return Failed(error, out + ": cannot open for writing");
    CG723Coder coder;
    std::vector<int16_t> pcm(kChunkSamples);
    std::vector<uint8_t> coded(kChunkBytes);
    std::vector<int16_t> pending; // a short read keeps its samples until a whole chunk is there
    for (;;) {
        const long got = reader.Read(pcm.data(), kChunkSamples - static_cast<int>(pending.size()));
        if (got < 0)
            return Failed(error, in + ": read error");
        pending.insert(pending.end(), pcm.begin(), pcm.begin() + got);
        const bool end = got == 0;
        if (pending.size() < static_cast<size_t>(kChunkSamples) && !end)
            continue;
        const int n = static_cast<int>(pending.size());
        const int bytes = coder.Encode(pending.data(), n, coded.data(), static_cast<int>(coded.size()));
        if (bytes < 0 || std::fwrite(coded.data(), 1, bytes, dst.get()) != static_cast<size_t>(bytes))
            return Failed(error, out + ": write error");
        pending.clear();
        if (end)
            break;
    }
    if (std::fflush(dst.get()) != 0)
        return Failed(error, out + ": write error");
    if (reader.OddByte())
        std::fprintf(stderr, "dvrtool: %s: ignored a trailing odd byte\n", in.c_str());
    return true;
}

bool DecodeG723File(const std::string& in, const std::string& out, std::string& error)
{
    if (IsWavPath(in))
        return Failed(error, in + ": coded input is read raw (packed 3-bit code words), not as a WAV");
    File src(std::fopen(in.c_str(), "rb"));
    if (!src)
        return Failed(error, in + ": cannot open for reading");
    PcmWriter writer;
    if (!writer.Open(out, error))
        return false;
    CG723Coder coder;
    std::vector<uint8_t> coded(kChunkBytes);
    std::vector<int16_t> pcm(kChunkSamples);
    for (;;) {
        const size_t got = ReadFully(src.get(), coded.data(), coded.size());
        if (got == 0)
            break;
        const int n = coder.Decode(coded.data(), static_cast<int>(got), pcm.data(), static_cast<int>(pcm.size()));
        if (n < 0 || !writer.Write(pcm.data(), n))
            return Failed(error, out + ": write error");
        if (got < coded.size())
            break;
    }
    if (std::ferror(src.get()))
        return Failed(error, in + ": read error");
    if (!writer.Close())
        return Failed(error, out + ": write error");
    return true;
}

} // namespace dvrtool
