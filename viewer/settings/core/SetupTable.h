#pragma once
// The setup dialog's arithmetic, apart from its window: the rate positions of the per-channel
// trackbars for PAL and NTSC, the weighted rates and their total against the frame-rate budget,
// the texts the dialog shows, and the conversion between channel entries and the dialog's rows.
// Neutral.
#include "settings/ViewSetupRecord.h"
#include <string>

namespace settings {

// What a trackbar position means for one video standard.
struct RateStep {
    double shown; // frames per second shown beside the trackbar
    uint8_t interval; // channel entry byte 3
    uint8_t rate; // channel entry byte 5
};

// Highest trackbar position: 10 for PAL, 11 for NTSC.
int LastPosition(bool ntsc);
// The step of `position`, held to 0..LastPosition.
RateStep StepAt(bool ntsc, int position);
// The trackbar position of a stored interval: the fastest position whose interval is not shorter
// than the stored one. An exact match is its own position; 0 (a D1 channel at full rate) is the
// last position; a value no table holds (a damaged file) gets the next slower position.
int PositionOfInterval(bool ntsc, int interval);
// Frames per second over all channels, weighted by resolution: 240 for NTSC, 200 for PAL.
int Budget(bool ntsc);

// Quality level 0..4 of the drop-down list and the channel entry's code: level * 5 + 4, level 4 -> 31.
uint8_t QualityCode(int level);
// The level of a stored code; codes no level gives are held to 0..4.
int QualityLevel(int code);

// Resolution classes of the decoder manager; the class is the channel's weight.
enum : int { kClassUnknown = 0, kClassCif = 1, kClassHalfD1 = 2, kClassD1 = 4, kMaxClass = 4 };

// "%0.1f" below one frame per second, "%d" from one.
std::string RateText(double shown);
// shown * weight ("%0.1f" when the shown rate is below 1, else "%d" of the whole rate * weight),
// "0" when the channel is not enabled.
std::string WeightedText(double shown, int weight, bool enabled);
// "%0.1f / %d": total and budget.
std::string TotalText(double total, int budget);

// One row of the dialog.
struct SetupRow {
    int level = 0; // quality list selection
    bool enabled = false;
    int position = 0; // trackbar
    int weight = 0; // resolution class
    int labelClass = 0; // the class the row's label shows (class 3 leaves the label as it was)
};

class SetupTable {
public:
    bool Ntsc() const { return ntsc_; }
    int Budget() const { return settings::Budget(ntsc_); }

    // Rows from channel entries, the standard and the channels' resolution classes.
    void Load(const ChannelEntry (&entries)[kChannels], bool ntsc, const int (&weights)[kChannels]);
    // A channel's class changed: false for a channel outside 0..15 or a class outside 0..4.
    bool SetResolution(int channel, int resolutionClass);

    SetupRow& Row(int channel) { return rows_[channel]; }
    const SetupRow& Row(int channel) const { return rows_[channel]; }

    double Shown(int channel) const;
    // The weighted rate the row adds to the total (0 when not enabled).
    double Weighted(int channel) const;
    double Total() const;
    std::string TotalText() const { return settings::TotalText(Total(), Budget()); }
    // OK in manual mode is refused while the total is over the budget; easy setup lowers the
    // rates itself.
    bool Refuses(bool easySetup) const { return !easySetup && Total() > Budget(); }

    // The rows as channel entries: interval and rate from the position; a D1 row at full rate
    // is stored with interval 0.
    void Store(ChannelEntry (&entries)[kChannels]) const;

private:
    bool ntsc_ = true;
    SetupRow rows_[kChannels];
};

} // namespace settings
