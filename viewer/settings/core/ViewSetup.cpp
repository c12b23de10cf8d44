#include "ViewSetup.h"
#include <cstring>

namespace settings {

ViewSetupRecord DefaultViewSetup(int channelCount)
{
    ViewSetupRecord r;
    std::memset(&r, 0, sizeof r);
    const int n = channelCount < 0 ? 0 : channelCount > kChannels ? kChannels : channelCount;
    for (int c = 0; c < n; ++c)
        r.channels[c] = ChannelEntry{1, 1, 0, 8, 19, 15, 0, 0};
    r.easy = EasySetupBlock{1, {0, 1, 2, 3}, 0, 0, 0};
    r.audioChoice = 0;
    return r;
}

LoadOutcome FinishLoad(ViewSetupRecord& record, size_t got, int channelCount)
{
    LoadOutcome out{kLoadRead, record.audioChoice};
    if (got < kViewSetupSize) {
        record = DefaultViewSetup(channelCount);
        out.result = kLoadShort;
    }
    return out;
}

} // namespace settings
