#pragma once
// CImageButton: one skinned button of a panel (the viewer's, the manager's). The buttons form a
// list through `next`; a mouse event runs over the whole list, and each button decides by its
// rectangle, its kind (normal, toggle, auto-repeat) and its state what it becomes and what it tells
// its owner (the window). Neutral: the owner posts the messages, runs the timers and does the
// drawing.
#include <cstdint>

namespace skinui {

// The messages a button posts to its owner (numbers of the view's window messages).
enum ButtonMessage : unsigned {
    kMsgViewCommand = 1124, // command, checked * 65536 + toggle
    kMsgRepeatEnd = 1125, // command, 0
    kMsgDrawn = 1126, // command, the button's rectangle
    kMsgRedraw = 1127, // the button, its rectangle
    kMsgPressed = 1128, // command, 0
    kMsgReleased = 1129, // command, 0
};

enum ButtonState : int32_t { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

// Key state of a mouse move: which button is held.
enum MoveKeys : int { kLeftHeld = 0, kMiddleHeld = 1, kRightHeld = 2, kNoneHeld = 3 };

struct ButtonRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    // Right and bottom edges are outside, as for the platform's rectangles.
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class CImageButton;

// What the buttons of one panel share: the one button that repeats while held (a panel has one
// pointer, so one held button) and the count that names unnamed buttons. The panel holds it; it
// outlives the panel's buttons.
class CButtonGroup {
public:
    CButtonGroup() = default;
    CButtonGroup(const CButtonGroup&) = delete;
    CButtonGroup& operator=(const CButtonGroup&) = delete;

    // The repeat timer fired on the owner: the repeating button clicks again, or the timer stops.
    // False when `id` is not the repeating button's timer.
    bool OnRepeatTimer(unsigned id);
    // Buttons created in this group so far.
    int CreatedCount() const { return created_; }

private:
    friend class CImageButton;
    CImageButton* repeating_ = nullptr;
    int created_ = 0;
};

class IButtonOwner {
public:
    virtual ~IButtonOwner() = default;
    virtual void Post(unsigned message, uintptr_t wp, intptr_t lp) = 0;
    virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
    // Draws the button where its changes belong (it posts kMsgDrawn when done).
    virtual void Draw(CImageButton& button) = 0;
};

class CImageButton {
public:
    static constexpr int kNameChars = 60;

    // Counts the button in its group and resets every field; the name replaces "ImageButton_%04d"
    // (the group's count) when given.
    explicit CImageButton(CButtonGroup& group, const wchar_t* name = nullptr);
    // A button going away stops being the repeating one.
    ~CImageButton();
    CImageButton(const CImageButton&) = delete;
    CImageButton& operator=(const CImageButton&) = delete;

    void SetNormalBitmaps(void* normal, void* hover, void* pressed, void* disabled);
    void SetCheckedBitmaps(void* normal, void* hover, void* pressed, void* disabled);

    // Run over this button and the rest of the list; true when any button changed.
    bool MouseDown(int x, int y);
    bool MouseUp(int x, int y);
    bool MouseMove(int keys, int x, int y);
    // Draws every visible button of the list.
    void DrawAll();

    // The image a draw shows now: the checked set for a checked toggle, else the normal set, by
    // state (a missing disabled image falls back to the set's normal one); null: draw nothing.
    void* Image() const;

    int32_t command = -1;
    uint8_t enabled = 0;
    uint8_t visible = 0;
    uint8_t autoRepeat = 0;
    uint8_t toggle = 0;
    uint8_t checked = 0;
    int32_t repeatInterval = 0; // ms; 0 means 10
    int32_t state = kNormal;
    ButtonRect rect;
    void* normalBitmaps[4] = {}; // not ours: the view owns the bitmaps
    void* checkedBitmaps[4] = {};
    IButtonOwner* owner = nullptr; // not ours
    CImageButton* next = nullptr; // not ours
    wchar_t name[kNameChars] = {};
    uint8_t transparent = 0;
    uint32_t transparentColour = 0;

private:
    friend class CButtonGroup;
    CButtonGroup& group_;
    bool Live() const { return enabled && visible; }
    // Runs `each` on this button and the rest of the list; true when any of them changed.
    template <class F> bool OverList(F each);
    bool OwnDown(int x, int y);
    bool OwnUp(int x, int y);
    bool OwnMove(int keys, int x, int y);
    void Post(unsigned message, uintptr_t wp, intptr_t lp);
    void StopRepeating();
    void Changed();
    // Takes `next` as the state and draws the change; false when the state was `next` already.
    bool Become(int32_t next);
};

} // namespace skinui
