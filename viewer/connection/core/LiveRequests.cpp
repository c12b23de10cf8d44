#include "LiveRequests.h"
#include <iterator>

namespace connection {

namespace {

constexpr int kLayoutCommands[kLayoutCount] = {19, 20, 22, 25};
constexpr int kDisplayModes[kLayoutCount] = {0, 1, 3, 6};

// Frames per second the rate steps pick: every n-th frame of the camera's full rate.
constexpr int kPalSteps[] = {25, 12, 8, 6, 5, 4, 3, 2, 1};
constexpr int kNtscSteps[] = {30, 15, 10, 7, 6, 5, 4, 3, 2, 1};
// The setup table's positions of the slowest rate step (one frame per second); the positions
// below it are slower still and are not part of the steps.
constexpr int kSlowestStepPosition = 2;
constexpr int kCapRounds = 13;

int ValidCount(int n) { return n >= 1 && n <= settings::kChannels ? n : settings::kChannels; }

int FullRate(bool ntsc) { return ntsc ? 30 : 25; }

int LargestStepNotAbove(bool ntsc, int value)
{
    const int* steps = ntsc ? kNtscSteps : kPalSteps;
    const int count = ntsc ? int(std::size(kNtscSteps)) : int(std::size(kPalSteps));
    for (int i = 0; i < count; ++i)
        if (steps[i] <= value)
            return steps[i];
    return 1;
}

} // namespace

int LayoutOfCommand(int command)
{
    for (int l = 0; l < kLayoutCount; ++l)
        if (kLayoutCommands[l] == command)
            return l + 1;
    return 0;
}

int CommandOfLayout(int layout) { return layout >= 1 && layout <= kLayoutCount ? kLayoutCommands[layout - 1] : 0; }

int DisplayModeOfLayout(int layout) { return layout >= 1 && layout <= kLayoutCount ? kDisplayModes[layout - 1] : 6; }

int GridSideOfLayout(int layout) { return layout >= 1 && layout <= kLayoutCount ? layout : kLayoutCount; }

Page PageChannels(int layout, int startChannel, int channelCount, uint32_t permitted)
{
    Page page;
    const int n = ValidCount(channelCount);
    const int start = startChannel >= 0 ? startChannel % n : 0;
    auto run = [&](int cells) {
        page.count = cells < n ? cells : n;
        for (int i = 0; i < page.count; ++i)
            page.channels[i] = static_cast<int8_t>((start + i) % n);
    };
    switch (layout) {
    case 1:
        for (int c = 0; c < settings::kChannels; ++c)
            if (permitted & (1u << c)) {
                page.count = 1;
                page.channels[0] = static_cast<int8_t>(c);
                break;
            }
        break;
    case 2: run(4); break;
    case 3: run(9); break;
    default:
        page.count = settings::kChannels;
        for (int i = 0; i < settings::kChannels; ++i)
            page.channels[i] = static_cast<int8_t>(i);
        break;
    }
    return page;
}

uint32_t RequestMask(const Page& page, const settings::ChannelEntry (&entries)[settings::kChannels], int channelCount)
{
    uint32_t mask = 0;
    for (int i = 0; i < page.count && i < settings::kChannels; ++i) {
        const int c = page.channels[i];
        if (c >= 0 && c < settings::kChannels && c < channelCount && entries[c].enabled)
            mask |= 1u << c;
    }
    return mask;
}

void ApplyEasyQuality(settings::ViewSetupRecord& record, int layout)
{
    if (!record.easy.easyOn || layout < 1 || layout > kLayoutCount)
        return;
    const uint8_t quality = settings::QualityCode(record.easy.layoutLevel[layout - 1]);
    for (auto& e : record.channels)
        e.quality = quality;
}

void ApplyEasySetup(settings::ViewSetupRecord& record, int layout, const int (&weights)[settings::kChannels], bool ntsc)
{
    if (!record.easy.easyOn)
        return;
    ApplyEasyQuality(record, layout);
    int g = 0;
    for (int c = 0; c < settings::kChannels; ++c)
        if (record.channels[c].enabled && weights[c] > 0 && weights[c] <= settings::kMaxClass)
            g += weights[c];
    if (g == 0)
        g = 64;
    const int full = FullRate(ntsc);
    const int share = settings::Budget(ntsc) / g;
    int interval, rate;
    switch (const int m = record.easy.refresh) {
    // clang-format off
    case 0: case 1: case 2: case 3:
        interval = full / LargestStepNotAbove(ntsc, share >> m);
        rate = full / interval;
        break;
    case 4: interval = full; rate = 2; break;
    case 5: interval = full; rate = 1; break;
    case 6: interval = 2 * full; rate = 5; break;
    case 7: interval = 5 * full; rate = 5; break;
    default: return; // as stored
        // clang-format on
    }
    for (auto& e : record.channels) {
        e.interval = static_cast<uint8_t>(interval);
        e.rate = static_cast<uint8_t>(rate);
    }
}

bool CapTotalRate(settings::SetupTable& table, bool easySetup)
{
    const int budget = table.Budget();
    if (table.Total() <= budget)
        return false;
    if (easySetup)
        return true;
    for (int round = 0; round < kCapRounds; ++round)
        for (int c = 0; c < settings::kChannels; ++c) {
            settings::SetupRow& r = table.Row(c);
            if (r.position > kSlowestStepPosition)
                --r.position;
            if (table.Total() <= budget)
                return true;
        }
    return true;
}

bool GridCell(int layout, int width, int height, int x, int y, int& column, int& row)
{
    const int n = GridSideOfLayout(layout);
    if (width < n || height < n || x < 0 || y < 0)
        return false;
    const int cw = width / n, ch = height / n;
    column = x / cw;
    row = y / ch;
    return column < n && row < n;
}

int DoubleClickChannel(int layout, int column, int row, int startChannel, int channelCount)
{
    const int n = GridSideOfLayout(layout);
    if (column < 0 || row < 0 || column >= n || row >= n || startChannel < 0)
        return -1;
    int channel = (column + n * row + startChannel) % settings::kChannels;
    if (layout == 2 && channelCount == 8 && channel > 7)
        channel -= 8;
    else if (layout == 3 && channelCount == 8 && channel > 8)
        channel -= 9;
    else if (layout == 2 && channelCount == 4 && channel >= 4)
        channel -= 4;
    // The empty ninth cell of an eight-channel DVR, or a channel the DVR does not have.
    return channel < ValidCount(channelCount) ? channel : -1;
}

int SpeedCap(int32_t optionBits)
{
    if (optionBits < 0)
        return 10;
    if (optionBits & 2)
        return 5;
    if (optionBits & 4)
        return 10;
    return 0;
}

int SpeedUp(int level, int cap) { return level < cap ? level + 1 : level; }

int SpeedDown(int level) { return level > 1 ? level - 1 : 1; }

} // namespace connection
