#pragma once
// A phone transport that keeps everything the uplink sends, in order, and says whether the
// connection is up.
#include "PhoneUplink.h"
#include <cstddef>
#include <cstdint>
#include <vector>

struct Sent {
    int code; // -1: stream bytes
    std::vector<uint8_t> bytes;
};

struct RecordingTransport : audio::IPhoneTransport {
    bool SendCommand(uint16_t code, const void* p, size_t n) override { return Keep(code, p, n); }
    bool SendStream(const void* p, size_t n) override { return Keep(-1, p, n); }
    size_t Count(int code) const
    {
        size_t n = 0;
        for (auto& s : sent)
            n += s.code == code;
        return n;
    }
    std::vector<Sent> sent;
    bool up = true;

private:
    bool Keep(int code, const void* p, size_t n)
    {
        auto b = static_cast<const uint8_t*>(p);
        sent.push_back({code, {b, b + n}});
        return up;
    }
};
