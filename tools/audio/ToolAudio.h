#pragma once
// Audio for the native tools: the simulator's four recognisable channel signals and its record
// source, the checker of the viewer's live-phone uplink, and WAV output of what a viewer would play.
#include "AudioOutput.h"
#include "AudioReceiver.h"
#include "CoderSetCoding.h"
#include "G723Coder.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace toolaudio {

// Channel n (0-3) of the simulated DVR: a 440 Hz tone, a rising chirp, a falling chirp, a two-tone
// chord; the talk-back is a 1 kHz tone that pulses four times a second.
int16_t ChannelSample(unsigned channel, uint64_t sampleIndex);
int16_t TalkBackSample(uint64_t sampleIndex);

struct SourceOptions {
    uint32_t gapEvery = 0; // > 0: after every gapEvery records, skip gapSize sequence numbers
    uint32_t gapSize = 2;
    uint32_t firstSequence = 1;
    bool clicksOnly = false; // every channel silent but for the clicks asked for (sync markers)
};

// The DVR's audio records: tag "g723", all four channels, one record per 16 ms of signal, and the
// talk-back block when asked for (then 264 bytes, else 216).
class AudioRecordSource {
public:
    explicit AudioRecordSource(SourceOptions o = {}) : opts_(o), sequence_(o.firstSequence) {}
    // clickAt >= 0 starts a click (a short loud burst) at that sample of the record on every channel.
    void Next(bool talkBack, uint32_t seconds, uint32_t microseconds, std::vector<uint8_t>& out, int clickAt = -1);
    uint64_t Records() const { return records_; }

private:
    SourceOptions opts_;
    CG723Coder enc_[5];
    uint32_t sequence_;
    uint64_t records_ = 0;
    uint64_t sample_ = 0;
    int clickLeft_ = 0; // samples of a click still to come
};

// 16-bit mono WAV at 8 kHz through libsndfile.
class WavWriter : public audio::IAudioOutput {
public:
    explicit WavWriter(const std::string& path);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    bool Ok() const { return file_ != nullptr; }
    long Write(const void* data, uint32_t length) override;
    void Close();
    uint64_t Samples() const { return samples_; }

private:
    void* file_ = nullptr; // SNDFILE*, ours
    uint64_t samples_ = 0;
};

std::vector<int16_t> ReadWav(const std::string& path);

// How alike two signals are over samples [from, from + n) of both (as far as both reach): the
// normalised correlation, 1 for the same signal, near 0 for unrelated ones or silence.
double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t n);

// The viewer's uplink as the DVR receives it: command 99 then 312 stream bytes. Checks the layout
// and both counters, decodes the six blocks of each record in order and keeps the samples.
class UplinkChecker {
public:
    void OnAnnouncement(const uint8_t* payload, size_t length);
    void OnRecord(const uint8_t* data, size_t length);

    uint64_t Announcements() const { return announcements_; }
    uint64_t Records() const { return records_; }
    uint64_t Errors() const { return errors_.size(); }
    const std::vector<std::string>& ErrorTexts() const { return errors_; }
    const std::vector<int16_t>& Samples() const { return samples_; }

private:
    void Error(std::string text);
    CG723Coder decoder_;
    bool announced_ = false;
    uint32_t announcedSeconds_ = 0;
    uint32_t nextCounter_ = 0, nextSequence_ = 0;
    bool first_ = true;
    uint64_t announcements_ = 0, records_ = 0;
    std::vector<std::string> errors_;
    std::vector<int16_t> samples_;
};

// What a viewer would play of each of the four channels, gaps filled as the viewer fills them,
// written to one WAV file per channel (prefix + "-ch<n>.wav").
class ChannelWavRecorder {
public:
    explicit ChannelWavRecorder(const std::string& prefix);
    // One stream block; false when it is not audio.
    bool OnBlock(const uint8_t* data, size_t size);
    void Close();
    uint64_t Samples(unsigned channel) const;
    std::string Path(unsigned channel) const;

private:
    struct Channel {
        CAudioCoderSet set;
        std::unique_ptr<audio::CCoderSetCoding> coding;
        std::unique_ptr<WavWriter> wav;
        std::unique_ptr<audio::CAudioReceiver> rx;
        std::string path;
    };
    Channel ch_[4];
};

} // namespace toolaudio
