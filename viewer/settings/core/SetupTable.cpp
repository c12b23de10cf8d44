#include "SetupTable.h"
#include <cstdio>

namespace settings {

namespace {

constexpr RateStep kPal[] = {{0.2, 125, 1}, {0.5, 50, 1}, {1, 25, 1}, {2, 12, 2},  {3, 8, 3},  {4, 6, 4},
                             {5, 5, 5},     {6, 4, 6},    {8, 3, 8},  {12, 2, 12}, {25, 1, 25}};
constexpr RateStep kNtsc[] = {{0.2, 150, 1}, {0.5, 60, 1}, {1, 30, 1}, {2, 15, 2},  {3, 10, 3},  {4, 7, 4},
                              {5, 6, 5},     {6, 5, 6},    {7, 4, 7},  {10, 3, 10}, {15, 2, 15}, {30, 1, 30}};

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Format(const char* format, int value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

int LastPosition(bool ntsc) { return ntsc ? 11 : 10; }

RateStep StepAt(bool ntsc, int position)
{
    const int p = Clamp(position, 0, LastPosition(ntsc));
    return ntsc ? kNtsc[p] : kPal[p];
}

int PositionOfInterval(bool ntsc, int interval)
{
    int found = 0;
    for (int p = 0; p <= LastPosition(ntsc); ++p)
        if (StepAt(ntsc, p).interval >= interval)
            found = p;
    return found;
}

int Budget(bool ntsc) { return ntsc ? 240 : 200; }

uint8_t QualityCode(int level)
{
    level = Clamp(level, 0, 4);
    return static_cast<uint8_t>(level == 4 ? 31 : level * 5 + 4);
}

int QualityLevel(int code) { return code == 31 ? 4 : Clamp((code - 4) / 5, 0, 4); }

std::string RateText(double shown)
{
    return shown < 1 ? Format("%0.1f", shown) : Format("%d", static_cast<int>(shown));
}

std::string WeightedText(double shown, int weight, bool enabled)
{
    if (!enabled)
        return "0";
    return shown < 1 ? Format("%0.1f", shown * weight) : Format("%d", static_cast<int>(shown) * weight);
}

std::string TotalText(double total, int budget)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.1f / %d", total, budget);
    return text;
}

void SetupTable::Load(const ChannelEntry (&entries)[kChannels], bool ntsc, const int (&weights)[kChannels])
{
    ntsc_ = ntsc;
    for (int c = 0; c < kChannels; ++c) {
        SetupRow& r = rows_[c];
        r.level = QualityLevel(entries[c].quality);
        r.enabled = entries[c].enabled != 0;
        r.position = PositionOfInterval(ntsc, entries[c].interval);
        SetResolution(c, weights[c]);
    }
}

bool SetupTable::SetResolution(int channel, int resolutionClass)
{
    if (channel < 0 || channel >= kChannels || resolutionClass < 0 || resolutionClass > kMaxClass)
        return false;
    SetupRow& r = rows_[channel];
    r.weight = resolutionClass;
    if (resolutionClass != 3)
        r.labelClass = resolutionClass;
    return true;
}

double SetupTable::Shown(int channel) const { return StepAt(ntsc_, rows_[channel].position).shown; }

double SetupTable::Weighted(int channel) const
{
    const SetupRow& r = rows_[channel];
    if (!r.enabled)
        return 0;
    const double shown = Shown(channel);
    // The same value the row's text shows: whole frames from one frame per second up.
    return shown < 1 ? shown * r.weight : static_cast<double>(static_cast<int>(shown) * r.weight);
}

double SetupTable::Total() const
{
    double total = 0;
    for (int c = 0; c < kChannels; ++c)
        total += Weighted(c);
    return total;
}

void SetupTable::Store(ChannelEntry (&entries)[kChannels]) const
{
    for (int c = 0; c < kChannels; ++c) {
        const SetupRow& r = rows_[c];
        const RateStep step = StepAt(ntsc_, r.position);
        ChannelEntry& e = entries[c];
        e.inUse = 1;
        e.enabled = r.enabled ? 1 : 0;
        e.interval = step.interval == 1 && r.labelClass == kClassD1 ? 0 : step.interval;
        e.quality = QualityCode(r.level);
        e.rate = step.rate;
    }
}

} // namespace settings
