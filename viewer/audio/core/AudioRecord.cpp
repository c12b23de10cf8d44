#include "AudioRecord.h"
#include "wire/StreamFrame.h"
#include <algorithm>

namespace audio {

const uint8_t* AudioRecord::ChannelBlock(unsigned n) const
{
    if (!data || n >= kChannelCount)
        return nullptr;
    const size_t at = kRecordHeaderBytes + kCodedBlockBytes * n;
    return usable >= at + kCodedBlockBytes ? data + at : nullptr;
}

const uint8_t* AudioRecord::TalkBackBlock() const
{
    if (!data)
        return nullptr;
    return usable >= kTalkBackOffset + kCodedBlockBytes ? data + kTalkBackOffset : nullptr;
}

bool ParseAudioRecord(const void* data, size_t size, AudioRecord& out)
{
    out = AudioRecord{};
    if (!wire::IsAudioTag(static_cast<const uint8_t*>(data), size))
        return false;
    wire::AudioBlockHeader h;
    if (!wire::ParseAudioBlockHeader(data, size, h))
        return false;
    out.data = static_cast<const uint8_t*>(data);
    out.statedLength = h.length;
    out.usable = std::min<size_t>(size, h.length);
    out.channelMask = h.channelMask;
    out.seconds = h.seconds;
    out.microseconds = h.microseconds;
    out.sequence = h.sequence;
    return true;
}

unsigned RepeatCount(uint32_t sequence, uint32_t last)
{
    const int32_t gap = static_cast<int32_t>(sequence - last);
    return gap >= 2 && gap <= 99 ? static_cast<unsigned>(gap - 1) : 0u;
}

namespace {
int Sample(const uint8_t* b, size_t i)
{
    return static_cast<int16_t>(static_cast<uint16_t>(b[2 * i] | b[2 * i + 1] << 8));
}
void SetSample(uint8_t* b, size_t i, int v)
{
    b[2 * i] = static_cast<uint8_t>(v & 0xFF);
    b[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
} // namespace

void SoftenBlock(const uint8_t* s, uint8_t* t, size_t length)
{
    const size_t n = length / 2;
    if (n < 2)
        return;
    const int last = Sample(s, n - 1);
    const int next = Sample(t, 1);
    SetSample(t, 0, last - (last - next) / 2);
    for (size_t i = 0; i < n; ++i)
        SetSample(t, i, Sample(t, i) / 2);
}

uint32_t BufferedBytes(uint32_t writePosition, uint32_t playCursor, uint32_t size)
{
    return playCursor >= writePosition ? writePosition + size - playCursor : writePosition - playCursor;
}

bool RingRanDry(uint32_t playCursor, uint32_t writeCursor, uint32_t position)
{
    if (playCursor < writeCursor)
        return playCursor < position && position < writeCursor;
    if (playCursor > writeCursor)
        return position > playCursor || position < writeCursor;
    return false;
}

bool RingRanDrySince(uint32_t lastPlay, uint32_t playCursor, uint32_t writeCursor, uint32_t position, uint32_t size)
{
    if (RingRanDry(playCursor, writeCursor, position))
        return true;
    if (size == 0 || lastPlay >= size || writeCursor >= size || position >= size)
        return false;
    const uint32_t toPosition = (position + size - lastPlay) % size;
    const uint32_t toWrite = (writeCursor + size - lastPlay) % size;
    return toPosition != 0 && toPosition <= toWrite;
}

bool RingHasRoom(bool playing, uint32_t playCursor, uint32_t writeCursor, uint32_t position, uint32_t size,
                 uint32_t length)
{
    if (size == 0 || length > size)
        return false;
    // The device's own test: what lies between its play and write cursors is off limits. The
    // distance is taken round the ring, so cursors straddling its end do not look like a full ring.
    const uint32_t mixing = (writeCursor + size - playCursor) % size;
    if (size - mixing < length)
        return false;
    // Our own test: the block must end before the play cursor, or it overwrites unplayed audio.
    // While the ring is stopped the play cursor rests at 0.
    const uint32_t stop = playing ? playCursor : 0u;
    uint32_t ahead = (stop + size - position) % size;
    if (ahead == 0)
        ahead = size; // position at the play cursor: the ring is empty (a dry ring is rewound)
    return ahead > length;
}

} // namespace audio
