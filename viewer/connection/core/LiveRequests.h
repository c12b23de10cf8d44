#pragma once
// The arithmetic of the live view's requests: which channels a layout's page shows, the channel
// request's mask, the channel configuration with easy setup, the total-rate cap, the double-click
// grid and the speed level. Neutral; the channel count always comes from the DVR and is not trusted.
#include "SetupTable.h"
#include "settings/ViewSetupRecord.h"
#include <cstdint>

namespace connection {

// Layout numbers 1 to 4 (1, 4, 9 and 16 pictures) and their view commands and display modes.
constexpr int kLayoutCount = 4;
// View commands 3 to 18 show channel (command - 3) alone.
constexpr int kChannelCommandBase = 3;
// 19, 20, 22, 25 -> 1 to 4; 0 for any other command.
int LayoutOfCommand(int command);
// 1 to 4 -> 19, 20, 22, 25; 0 outside.
int CommandOfLayout(int layout);
// 1 to 4 -> display modes 0, 1, 3, 6; 6 outside.
int DisplayModeOfLayout(int layout);
// 1 to 4 -> 1, 2, 3, 4: the side of the layout's grid.
int GridSideOfLayout(int layout);

// The channels of a page, in cell order; cells beyond `count` are empty.
struct Page {
    int count = 0;
    int8_t channels[settings::kChannels] = {};
};

// The page rule. `permitted`: bit n = channel n may be shown alone (the 1-picture page shows the
// lowest). A channel count outside 1..16 is taken as 16.
Page PageChannels(int layout, int startChannel, int channelCount, uint32_t permitted = 0xFFFF);

// Bit n for every channel n of the page below the channel count that is enabled in `entries`.
uint32_t RequestMask(const Page& page, const settings::ChannelEntry (&entries)[settings::kChannels], int channelCount);
inline int CountBits(uint32_t mask)
{
    int n = 0;
    for (; mask; mask &= mask - 1)
        ++n;
    return n;
}

// Easy setup on the record (nothing when its block says manual setup): every channel's quality
// from the level of `layout`, and the same interval and rate for every channel from the budget
// shared by the enabled channels' weights (the resolution classes) and the refresh option.
void ApplyEasySetup(settings::ViewSetupRecord& record, int layout, const int (&weights)[settings::kChannels],
                    bool ntsc);
// Only the quality part of easy setup (the setup dialog's confirmation).
void ApplyEasyQuality(settings::ViewSetupRecord& record, int layout);

// The total-rate cap on the setup dialog's table: while the total is over the budget (and easy
// setup is off), up to 13 rounds slow each channel in turn by one step, stopping as soon as the
// total fits. True when the total was over the budget (the table is then to be saved).
bool CapTotalRate(settings::SetupTable& table, bool easySetup);

// A point of the picture area (x, y relative to its top left, `width` x `height`) in the n x n grid
// of `layout`: false outside every cell.
bool GridCell(int layout, int width, int height, int x, int y, int& column, int& row);
// The channel a double-click on (column, row) of a page starting at `startChannel` shows alone;
// -1 when that is no channel of the DVR.
int DoubleClickChannel(int layout, int column, int row, int startChannel, int channelCount);

// Speed level of item 213 (the stream request's pace is 11 minus it). The DVR's option bits are not
// learned yet (-1): the cap is then 10. Bit 1 gives 5, bit 2 gives 10.
constexpr int kSpeedLevelAtStart = 4;
int SpeedCap(int32_t optionBits);
// Command 49: one up, never above the cap and never down. Command 50: one down, not below 1.
int SpeedUp(int level, int cap);
int SpeedDown(int level);

} // namespace connection
