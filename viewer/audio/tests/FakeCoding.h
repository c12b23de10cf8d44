#pragma once
// A coding whose output is easy to predict: every PCM byte of a decoded block is the coded block's
// first byte plus the coder's index, so a test sees which block and which coder were used.
#include "AudioCoding.h"
#include "AudioOutput.h"
#include "AudioRecord.h"
#include <array>
#include <cstring>
#include <vector>

struct FakeCoding : audio::IAudioCoding {
    bool DecodeChannel(unsigned channel, const uint8_t* coded, uint8_t* pcm) override
    {
        std::memset(pcm, coded[0] + channel, audio::kBlockBytes);
        channels.push_back(channel);
        return true;
    }
    bool DecodeTalkBack(const uint8_t* coded, uint8_t* pcm) override
    {
        std::memset(pcm, coded[0] + 4, audio::kBlockBytes);
        ++talkBacks;
        return true;
    }
    bool EncodeMicrophone(const uint8_t* pcm, uint8_t* coded) override
    {
        std::memset(coded, pcm[0], audio::kCodedBlockBytes);
        ++encodes;
        return true;
    }
    std::vector<unsigned> channels;
    int talkBacks = 0;
    int encodes = 0;
};

struct BlockSink : audio::IAudioOutput {
    long Write(const void* data, uint32_t length) override
    {
        std::array<uint8_t, audio::kBlockBytes> b{};
        std::memcpy(b.data(), data, std::min<size_t>(length, b.size()));
        blocks.push_back(b);
        return 0;
    }
    uint32_t QueuedBytes() override { return queued; }
    std::vector<std::array<uint8_t, audio::kBlockBytes>> blocks;
    uint32_t queued = 0; // what the player reports as waiting
};
