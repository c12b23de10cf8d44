#include "DisplayStore.h"
#include <cstring>
#include <new>

namespace video {

DisplayStore::DisplayStore()
{
    for (int c = 0; c < kDisplayChannels; ++c) {
        records_[c].channel = static_cast<uint8_t>(c);
        records_[c].info = DefaultPictureInfo();
    }
    for (int i = 0; i < kLayoutCount; ++i)
        layouts_[i] = BuiltinLayout(i);
    ClearMaps();
    ResetDefaults();
}

DisplayStore::~DisplayStore() { FreeBuffers(); }

bool DisplayStore::AllocateBuffers()
{
    bool all = true;
    for (auto& r : records_) {
        if (!r.pixels)
            r.pixels = new (std::nothrow) uint8_t[kPictureBufferSize];
        if (!r.pixels) {
            all = false;
            continue;
        }
        std::memset(r.pixels, fillLevel_, kPictureBufferSize);
    }
    return all;
}

void DisplayStore::FreeBuffers()
{
    for (auto& r : records_) {
        delete[] r.pixels;
        r.pixels = nullptr;
    }
}

bool DisplayStore::HasBuffer(int channel) const
{
    return channel >= 0 && channel < kDisplayChannels && records_[channel].pixels;
}

void DisplayStore::ResetDefaults()
{
    layout_ = kDefaultLayout;
    fillLevel_ = kDefaultFillLevel;
    showTitle_ = showSize_ = showTime_ = 0;
}

void DisplayStore::SetIdentityMaps()
{
    for (int i = 0; i < kDisplayChannels; ++i)
        channelToPosition_[i] = positionToChannel_[i] = static_cast<uint8_t>(i);
}

void DisplayStore::ClearMaps()
{
    std::memset(channelToPosition_, kNoEntry, sizeof channelToPosition_);
    std::memset(positionToChannel_, kNoEntry, sizeof positionToChannel_);
}

void DisplayStore::SetArea(int width, int height)
{
    areaWidth_ = width;
    areaHeight_ = height;
    for (auto& l : layouts_)
        ComputeGeometry(l, width, height);
}

bool DisplayStore::SetLayout(int layout, const uint8_t* channels, size_t count, uint32_t& redrawMask)
{
    redrawMask = 0;
    if (!IsLayoutIndex(layout))
        return false;
    if (layout != layout_)
        BlankAll();
    layout_ = layout;
    ClearMaps();
    const Layout& l = layouts_[layout];
    for (int i = 0; i < l.count; ++i) {
        const uint8_t c = (channels && static_cast<size_t>(i) < count) ? channels[i] : kNoEntry;
        if (c >= kDisplayChannels)
            continue;
        positionToChannel_[i] = c;
        channelToPosition_[c] = static_cast<uint8_t>(i);
        redrawMask |= 1u << c;
    }
    return true;
}

bool DisplayStore::StorePicture(int channel, const PictureInfo& info, const void* pixels, const PictureTime* time)
{
    if (!HasBuffer(channel) || !pixels)
        return false;
    const PictureBytes bytes = CheckPicture(info.header);
    if (!bytes.ok)
        return false;
    PictureRecord& r = records_[channel];
    if (time)
        r.time = *time;
    r.info = info;
    std::memcpy(r.pixels, pixels, bytes.copy);
    return true;
}

void DisplayStore::BlankAll()
{
    for (auto& r : records_) {
        if (r.pixels)
            std::memset(r.pixels, fillLevel_, kPictureBufferSize);
        r.mark = 0;
    }
}

bool DisplayStore::SetChannelTitle(int channel, const char16_t* format)
{
    if (channel < 0 || channel >= kDisplayChannels)
        return false;
    FormatTitle(format, channel + 1, records_[channel].title);
    return true;
}

void DisplayStore::SetOsdOptions(int title, int size, int time)
{
    showTitle_ = title;
    showSize_ = size;
    showTime_ = time;
}

uint8_t DisplayStore::PositionOf(int channel) const
{
    return channel >= 0 && channel < kDisplayChannels ? channelToPosition_[channel] : kNoEntry;
}

uint8_t DisplayStore::ChannelAt(int position) const
{
    return position >= 0 && position < kDisplayChannels ? positionToChannel_[position] : kNoEntry;
}

void DisplayStore::MarkDrawn(int channel)
{
    if (channel >= 0 && channel < kDisplayChannels)
        records_[channel].mark = 1;
}

void DisplayStore::Plan(int p, DivisionPlan& plan) const
{
    plan = DivisionPlan{};
    const Layout& l = layouts_[layout_];
    if (p < 0 || p >= l.count)
        return;
    const uint8_t c = positionToChannel_[p];
    if (c >= kDisplayChannels)
        return;
    const PictureRecord& r = records_[c];
    plan.draw = true;
    plan.channel = c;
    plan.position = p;
    plan.record = &r;
    plan.rect = l.divisions[p].rect;
    plan.style = StyleOf(layout_, p);
    const int f = plan.style.fontPoints;
    const int width = r.info.header.width;
    const int height = r.info.header.height < 0 ? -r.info.header.height : r.info.header.height;

    plan.picture = r.pixels && CheckPicture(r.info.header).ok;
    // What the division held before belongs to another channel or layout; under this title it would
    // pass for this camera's picture.
    plan.fill = !plan.picture;
    plan.fillLevel = fillLevel_;
    plan.source = PictureSourceRect(width, r.info.header.height);

    plan.title = showTitle_ == 1 && p < channelCount_;
    plan.titleBox = TitleBox(plan.rect, f);
    const bool realPicture = width > 2;
    plan.size = showSize_ == 1 && realPicture;
    plan.sizeBox = SizeBox(plan.rect, f);
    if (p < channelCount_)
        FormatSizeText(width, height, plan.sizeText);
    plan.time = showTime_ == 1 && realPicture;
    plan.timeBox = TimeBox(plan.rect, f);
    FormatTimeText(r.time, plan.timeText);
}

} // namespace video
