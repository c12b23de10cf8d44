// What a decode thread does with whatever the DVR put in a slot: arbitrary video frames through
// the pipeline (header checks, audio hold, decode, local time, the size handed to the display) and
// arbitrary audio records through the receive path (record checks, channel choice, gap filling,
// decoding). Input: one byte of channel count (1-4), then records of one type byte, a 16-bit
// length and that many bytes. Each record sits in a buffer of exactly its length, so that any read
// past it is caught; every input starts from fresh coders and a fresh decoder.
#include "AudioCoderSet.h"
#include "AudioReceiver.h"
#include "CoderSetCoding.h"
#include "FramePipeline.h"
#include "wire/ByteOrder.h"
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Reads every byte of each picture, so that a size the decoder's buffer does not have is caught.
struct ReadingDisplay final : pipeline::IPictureDisplay {
    void ShowPicture(int channel, int width, int height, const uint8_t* bgr, const video::PictureTime& time) override
    {
        if (channel < 0 || channel > 15 || width <= 0 || height <= 0 || width > 720 || height > 576 || !bgr)
            std::abort();
        unsigned sum = 0;
        for (size_t i = 0, n = static_cast<size_t>(width) * height * 3; i < n; ++i)
            sum += bgr[i];
        checksum += sum + static_cast<unsigned>(time.year + time.month + time.day + time.hour);
    }
    void BlankChannels(int) override {}
    unsigned checksum = 0;
};

struct CountingOutput final : audio::IAudioOutput {
    long Write(const void* data, uint32_t length) override
    {
        if (length != audio::kBlockBytes)
            std::abort();
        bytes += static_cast<const uint8_t*>(data)[length - 1];
        return 0;
    }
    uint32_t QueuedBytes() override { return queued; }
    uint64_t bytes = 0;
    uint32_t queued = 0;
};

// Audio flowing at a clock the input chooses: pictures are held or shown.
struct FuzzAudio final : pipeline::IAudioTiming {
    int64_t AudioNowMs() override { return now; }
    bool PlayRecord(const uint8_t* record, size_t size) override { return receiver->OnAudioRecord(record, size); }
    int64_t now = 0;
    audio::CAudioReceiver* receiver = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CAudioCoderSet coders;
    if (coders.Init(audio::kViewCoderCount) != 1)
        return 0;
    audio::CCoderSetCoding coding(coders);
    CountingOutput main, phone;
    audio::CAudioReceiver receiver(coding, &main, &phone);
    FuzzAudio clock;
    clock.receiver = &receiver;

    video::CMp4DecoderManager decoder(video::LinkedXvidApi());
    const int channels = 1 + data[0] % 4;
    int w[4], h[4];
    for (int i = 0; i < 4; ++i)
        w[i] = h[i] = 16; // cheap to make; frames resize their channel
    decoder.Initialize(channels, 0, w, h, nullptr);
    ReadingDisplay display;
    pipeline::CFramePipeline pipe(decoder, display, &clock, nullptr);
    pipe.SetChannelCount(channels);

    wire::ByteReader r(data + 1, size - 1);
    uint8_t type = 0;
    uint16_t length = 0;
    while (r.U8(type) && r.U16(length)) {
        const size_t n = length < r.Remaining() ? length : r.Remaining();
        const uint8_t* bytes = r.Take(n);
        std::unique_ptr<uint8_t[]> slot(new uint8_t[n ? n : 1]);
        if (n)
            std::memcpy(slot.get(), bytes, n);
        switch (type & 3) {
        case 0: pipe.ProcessVideo(type >> 4, slot.get(), n); break;
        case 1: pipe.ProcessAudio(slot.get(), n); break;
        case 2:
            // Settings: sync on or off, the phone, the selected channel, the audio clock, the queue.
            pipe.SetAudioSync(type & 4, type & 8);
            receiver.SetPhoneDown(type & 16);
            receiver.SetSelectedChannel(type >> 5);
            clock.now = n >= 8 ? static_cast<int64_t>(wire::LoadLE32(bytes)) * 1000 : 0;
            main.queued = n >= 8 ? wire::LoadLE32(bytes + 4) : 0;
            break;
        default: pipe.SetAudioSync(false, false); break;
        }
    }
    decoder.Destroy();
    return 0;
}
