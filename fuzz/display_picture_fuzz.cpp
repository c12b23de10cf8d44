// A picture header of any content with only the bytes really there: the store accepts it only when a
// draw of it stays inside the picture buffer, and what it plans to draw stays inside the display.
#include "DisplayStore.h"
#include "wire/ByteOrder.h"
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static video::DisplayStore* store = [] {
        auto* s = new video::DisplayStore;
        s->AllocateBuffers();
        s->SetArea(704, 480);
        s->SetIdentityMaps();
        s->SetOsdOptions(1, 1, 1);
        s->SetChannelCount(16);
        return s;
    }();
    if (size < sizeof(video::PictureInfo) + 2)
        return 0;
    video::PictureInfo info;
    std::memcpy(&info, data, sizeof info);
    const int channel = data[sizeof info] % 26;
    const int layout = data[sizeof info + 1] % 12;
    // The sender's pixels: as many bytes as it states, so the copy reads only what is there.
    const video::PictureBytes bytes = video::CheckPicture(info.header);
    std::vector<uint8_t> pixels(bytes.ok ? bytes.copy : 1, 0x5A);
    const bool stored = store->StorePicture(channel, info, pixels.data(), nullptr);
    if (stored && (!bytes.ok || bytes.needed > video::kPictureBufferSize || bytes.copy > video::kPictureBufferSize))
        std::abort();
    uint8_t list[video::kDisplayChannels];
    for (int i = 0; i < video::kDisplayChannels; ++i)
        list[i] = static_cast<uint8_t>(i);
    uint32_t mask;
    store->SetLayout(layout, list, video::kDisplayChannels, mask);
    video::DivisionPlan plan;
    for (int p = 0; p < video::kDisplayChannels; ++p) {
        store->Plan(p, plan);
        if (!plan.draw || !plan.picture)
            continue;
        const auto& h = plan.record->info.header;
        const int rows = h.height < 0 ? -h.height : h.height;
        if (plan.source.x < 0 || plan.source.y < 0 || plan.source.width <= 0 || plan.source.height <= 0 ||
            plan.source.x + plan.source.width > h.width || plan.source.y + plan.source.height > rows ||
            plan.rect.right > 704 || plan.rect.bottom > 480)
            std::abort();
    }
    return 0;
}
