#include "ToolAudio.h"
#include "wire/StreamFrame.h"
#include <sndfile.h>
#include <cmath>
#include <cstring>

namespace toolaudio {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

int16_t ChannelSample(unsigned channel, uint64_t i)
{
    // The chirps sweep over 4 s and start again.
    const double t = double(i) / 8000, s = double(i % 32000) / 8000;
    switch (channel) {
    case 0: return static_cast<int16_t>(9000 * std::sin(kTwoPi * 440 * t));
    case 1: return static_cast<int16_t>(9000 * std::sin(kTwoPi * (300 * s + 200 * s * s)));
    case 2: return static_cast<int16_t>(9000 * std::sin(kTwoPi * (2400 * s - 250 * s * s)));
    default: return static_cast<int16_t>(5000 * (std::sin(kTwoPi * 600 * t) + std::sin(kTwoPi * 1500 * t)));
    }
}

int16_t TalkBackSample(uint64_t i)
{
    const bool on = (i % 2000) < 1000;
    return on ? static_cast<int16_t>(9000 * std::sin(kTwoPi * 1000 * double(i) / 8000)) : 0;
}

void AudioRecordSource::Next(bool talkBack, uint32_t seconds, uint32_t microseconds, std::vector<uint8_t>& out,
                             int clickAt)
{
    const size_t length = talkBack ? 264 : 216;
    out.assign(length, 0);
    wire::AudioBlockHeader h;
    h.length = static_cast<uint32_t>(length);
    h.channelMask = 0xF;
    h.seconds = seconds;
    h.microseconds = microseconds;
    h.sequence = sequence_;
    wire::BuildAudioBlockHeader(h, out.data());
    // A click: 4 ms of a 1 kHz square wave near full scale, carried on into the next record.
    constexpr int kClickSamples = 32;
    int16_t click[128] = {};
    int left = clickLeft_;
    for (int i = 0; i < 128; ++i) {
        if (clickAt == i)
            left = kClickSamples;
        if (left > 0) {
            click[i] = ((kClickSamples - left) / 4) % 2 ? -24000 : 24000;
            --left;
        }
    }
    clickLeft_ = left;
    int16_t pcm[128];
    for (unsigned c = 0; c < 5; ++c) {
        if (c == 4 && !talkBack)
            break;
        for (size_t i = 0; i < 128; ++i)
            pcm[i] = c == 4        ? TalkBackSample(sample_ + i)
                : opts_.clicksOnly ? click[i]
                : click[i] != 0    ? click[i]
                                   : ChannelSample(c, sample_ + i);
        enc_[c].Encode(pcm, 128, out.data() + 24 + 48 * c, 48);
    }
    sample_ += 128;
    ++records_;
    ++sequence_;
    if (opts_.gapEvery && records_ % opts_.gapEvery == 0)
        sequence_ += opts_.gapSize;
}

WavWriter::WavWriter(const std::string& path)
{
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    file_ = sf_open(path.c_str(), SFM_WRITE, &info);
    // Readers may open the file while it grows: keep its header current.
    if (file_)
        sf_command(static_cast<SNDFILE*>(file_), SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
}

WavWriter::~WavWriter() { Close(); }

long WavWriter::Write(const void* data, uint32_t length)
{
    if (!file_)
        return -1;
    const sf_count_t n = length / 2;
    int16_t buf[1024];
    const auto* p = static_cast<const uint8_t*>(data);
    for (sf_count_t done = 0; done < n;) {
        const sf_count_t k = std::min<sf_count_t>(1024, n - done);
        std::memcpy(buf, p + done * 2, static_cast<size_t>(k) * 2);
        sf_write_short(static_cast<SNDFILE*>(file_), buf, k);
        done += k;
    }
    samples_ += static_cast<uint64_t>(n);
    return 0;
}

void WavWriter::Close()
{
    if (file_)
        sf_close(static_cast<SNDFILE*>(file_));
    file_ = nullptr;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t n)
{
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = from; i < from + n && i < a.size() && i < b.size(); ++i) {
        xy += double(a[i]) * b[i];
        xx += double(a[i]) * a[i];
        yy += double(b[i]) * b[i];
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

std::vector<int16_t> ReadWav(const std::string& path)
{
    std::vector<int16_t> out;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return out;
    if (info.channels == 1) {
        out.resize(static_cast<size_t>(info.frames));
        out.resize(static_cast<size_t>(sf_read_short(f, out.data(), info.frames)));
    }
    sf_close(f);
    return out;
}

void UplinkChecker::Error(std::string text) { errors_.push_back(std::move(text)); }

void UplinkChecker::OnAnnouncement(const uint8_t* payload, size_t length)
{
    ++announcements_;
    wire::ByteReader r(payload, length);
    int32_t four = 0, size = 0, counter = 0;
    uint32_t seconds = 0;
    if (length != 16 || !r.I32(four) || !r.I32(size) || !r.U32(seconds) || !r.I32(counter)) {
        Error("command 99 of " + std::to_string(length) + " bytes");
        return;
    }
    if (four != 4 || size != 312)
        Error("command 99 says " + std::to_string(four) + ", " + std::to_string(size));
    if (announced_)
        Error("command 99 twice without a record");
    if (!first_ && static_cast<uint32_t>(counter) != nextCounter_)
        Error("counter " + std::to_string(counter) + ", expected " + std::to_string(nextCounter_));
    nextCounter_ = static_cast<uint32_t>(counter) + 1;
    announced_ = true;
    announcedSeconds_ = seconds;
}

void UplinkChecker::OnRecord(const uint8_t* data, size_t length)
{
    ++records_;
    if (!announced_)
        Error("record without command 99");
    announced_ = false;
    wire::AudioBlockHeader h;
    if (length != 312 || !wire::ParseAudioBlockHeader(data, length, h)) {
        Error("record of " + std::to_string(length) + " bytes");
        return;
    }
    if (std::memcmp(h.tag, "327g", 4) != 0 || h.length != 312 || h.channelMask != 0x10000)
        Error("record header: tag, length or mask");
    if (h.seconds != announcedSeconds_)
        Error("record seconds differ from command 99");
    if (h.microseconds >= 1000000)
        Error("microseconds " + std::to_string(h.microseconds));
    if (!first_ && h.sequence != nextSequence_)
        Error("sequence " + std::to_string(h.sequence) + ", expected " + std::to_string(nextSequence_));
    nextSequence_ = h.sequence + 1;
    first_ = false;
    int16_t pcm[6 * 128];
    if (decoder_.Decode(data + 24, 6 * 48, pcm, 6 * 128) == 6 * 128)
        samples_.insert(samples_.end(), pcm, pcm + 6 * 128);
}

ChannelWavRecorder::ChannelWavRecorder(const std::string& prefix)
{
    for (unsigned c = 0; c < 4; ++c) {
        Channel& ch = ch_[c];
        ch.set.Init(audio::kViewCoderCount);
        ch.coding = std::make_unique<audio::CCoderSetCoding>(ch.set);
        ch.path = prefix + "-ch" + std::to_string(c + 1) + ".wav";
        ch.wav = std::make_unique<WavWriter>(ch.path);
        ch.rx = std::make_unique<audio::CAudioReceiver>(*ch.coding, ch.wav.get(), nullptr);
        ch.rx->SetSelectedChannel(c);
    }
}

bool ChannelWavRecorder::OnBlock(const uint8_t* data, size_t size)
{
    bool audio = false;
    for (auto& ch : ch_)
        audio = ch.rx->OnAudioRecord(data, size) || audio;
    return audio;
}

void ChannelWavRecorder::Close()
{
    for (auto& ch : ch_)
        ch.wav->Close();
}

uint64_t ChannelWavRecorder::Samples(unsigned channel) const { return channel < 4 ? ch_[channel].wav->Samples() : 0; }
std::string ChannelWavRecorder::Path(unsigned channel) const { return channel < 4 ? ch_[channel].path : std::string(); }

} // namespace toolaudio
