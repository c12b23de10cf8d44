#pragma once
// What the display manager keeps and decides, apart from the window: the latest picture of every
// channel, the layouts, both maps, the on-screen-display options, and for each position the plan of
// what to draw there. Not locked: the display manager holds its lock around every call.
#include "DisplayLayout.h"
#include <cstddef>
#include <cstdint>
#include <memory>

namespace video {

struct PictureRecord {
    uint8_t channel = 0;
    uint8_t mark = 0; // set when the division is drawn, cleared by BlankAll
    char16_t title[kTitleLength] = {};
    PictureTime time;
    PictureInfo info{};
    uint8_t* pixels = nullptr; // kPictureBufferSize bytes, owned by the store
};

// Everything a division draw needs, worked out from the store.
struct DivisionPlan {
    bool draw = false; // false: the position shows no channel and is left as it is
    int channel = kNoEntry;
    int position = 0;
    DivRect rect;
    DivisionStyle style{};
    bool picture = false;
    bool fill = false; // no picture belongs here: fill with the fill level rather than keep old pixels
    uint8_t fillLevel = 0;
    SourceRect source;
    const PictureRecord* record = nullptr;
    bool title = false, size = false, time = false;
    TextBox titleBox, sizeBox, timeBox;
    char16_t sizeText[kShortTextLength] = {};
    char16_t timeText[kShortTextLength] = {};
};

class DisplayStore {
public:
    DisplayStore();
    ~DisplayStore();
    DisplayStore(const DisplayStore&) = delete;
    DisplayStore& operator=(const DisplayStore&) = delete;

    // The 25 picture buffers, allocated once and filled with the fill level; false when memory is short
    // (the channels whose buffers are missing then refuse pictures).
    bool AllocateBuffers();
    void FreeBuffers();
    bool HasBuffer(int channel) const;

    // The state after construction and after the window is destroyed.
    void ResetDefaults();
    void SetIdentityMaps();
    void ClearMaps();

    void SetArea(int width, int height);
    int AreaWidth() const { return areaWidth_; }
    int AreaHeight() const { return areaHeight_; }

    // Switches layout; returns the mask of channels to redraw, or nothing for a layout outside 0-10.
    // A change of layout blanks every picture first. Positions past count, entries of 255 and
    // channels outside 0-24 leave their position empty.
    bool SetLayout(int layout, const uint8_t* channels, size_t count, uint32_t& redrawMask);
    int CurrentLayout() const { return layout_; }
    // The layout a new window starts in, with the maps as they stand.
    void SetCurrentLayout(int layout)
    {
        if (IsLayoutIndex(layout))
            layout_ = layout;
    }
    const Layout& LayoutAt(int index) const { return layouts_[IsLayoutIndex(index) ? index : 0]; }

    // Copies a picture; false when the channel is outside 0-24, its buffer is missing, or the
    // picture is refused by CheckPicture. The time, when given, is stored only with an accepted picture.
    bool StorePicture(int channel, const PictureInfo& info, const void* pixels, const PictureTime* time);

    void BlankAll();
    bool SetChannelTitle(int channel, const char16_t* format);
    void SetChannelCount(int n) { channelCount_ = n; }
    int ChannelCount() const { return channelCount_; }

    void SetFillLevel(uint8_t level) { fillLevel_ = level; }
    uint8_t FillLevel() const { return fillLevel_; }
    void SetOsdOptions(int title, int size, int time);
    int ShowTitle() const { return showTitle_; }
    int ShowSize() const { return showSize_; }
    int ShowTime() const { return showTime_; }

    uint8_t PositionOf(int channel) const;
    uint8_t ChannelAt(int position) const;
    const PictureRecord& Record(int channel) const { return records_[channel]; }

    // The plan for the division at a position of the current layout.
    void Plan(int position, DivisionPlan& plan) const;
    // Marks a channel's picture as drawn.
    void MarkDrawn(int channel);

private:
    PictureRecord records_[kDisplayChannels];
    Layout layouts_[kLayoutCount];
    uint8_t channelToPosition_[kDisplayChannels];
    uint8_t positionToChannel_[kDisplayChannels];
    int channelCount_ = 0;
    int layout_ = kDefaultLayout;
    int areaWidth_ = 0, areaHeight_ = 0;
    int showTitle_ = 0, showSize_ = 0, showTime_ = 0;
    uint8_t fillLevel_ = kDefaultFillLevel;
};

} // namespace video
