#pragma once
// Audio records received from the DVR (stream blocks tagged "g723", "G723", "327g", "327G") and the
// arithmetic of the receive path: which block of a record may be read, gap filling, softening, and
// the playback ring's cursor tests. No platform code here.
#include <cstddef>
#include <cstdint>

namespace audio {

constexpr size_t kBlockBytes = 256; // 128 samples of 16-bit PCM at 8000 Hz = 16 ms
constexpr size_t kBlockSamples = 128;
constexpr size_t kCodedBlockBytes = 48; // one block at 3 bits per sample
constexpr size_t kRecordHeaderBytes = 24;
constexpr size_t kChannelCount = 4;
constexpr size_t kTalkBackOffset = 216; // 24 + 4 * 48
constexpr uint32_t kBlockMs = 16;

// A received record as the decode thread sees it. The block getters return null unless both the
// record's stated length and the bytes really received hold the whole block: a short or lying
// record is never read past its end.
struct AudioRecord {
    const uint8_t* data = nullptr;
    size_t usable = 0; // min(stated length, received bytes)
    uint32_t statedLength = 0;
    uint32_t channelMask = 0;
    uint32_t seconds = 0;
    uint32_t microseconds = 0;
    uint32_t sequence = 0;

    const uint8_t* ChannelBlock(unsigned n) const;
    const uint8_t* TalkBackBlock() const;
};

// False when the block is not audio (tag) or shorter than its 24-byte header.
bool ParseAudioRecord(const void* data, size_t size, AudioRecord& out);

// How many times the previous block is repeated before a record with `sequence` when the last
// played one was `last`: gap - 1 for gaps of 2 to 99 (sequence numbers compared modulo 2^32),
// otherwise 0.
unsigned RepeatCount(uint32_t sequence, uint32_t last);

// Softens block t against block s (16-bit little-endian samples, `length` in bytes): t's first
// sample moves halfway from s's last sample towards t's second, then every sample of t is halved
// (truncating toward zero). s and t may be the same block.
void SoftenBlock(const uint8_t* s, uint8_t* t, size_t length);

// Ring arithmetic of a playback buffer of `size` bytes.
// Bytes buffered ahead of the play cursor: write - play, plus size when play is at or past write.
uint32_t BufferedBytes(uint32_t writePosition, uint32_t playCursor, uint32_t size);
// True when the device's play cursor has reached our own write position: the position lies in the
// stretch the device is already playing (from the play cursor to its write cursor).
bool RingRanDry(uint32_t playCursor, uint32_t writeCursor, uint32_t position);
// The same test over everything the device took since the last look, when its play cursor was at
// `lastPlay`: the cursors move in steps, and a look that comes late must still see the ring ran dry.
bool RingRanDrySince(uint32_t lastPlay, uint32_t playCursor, uint32_t writeCursor, uint32_t position, uint32_t size);
// Room for a new block of `length` bytes at `position` without overwriting audio not yet played
// nor the stretch the device is already mixing.
bool RingHasRoom(bool playing, uint32_t playCursor, uint32_t writeCursor, uint32_t position, uint32_t size,
                 uint32_t length);

} // namespace audio
