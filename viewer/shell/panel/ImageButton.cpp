#include "ImageButton.h"
#include <cwchar>

namespace panel {

namespace {
int g_created = 0;
// The one button that repeats while held: process-wide, as only one button can be held at a time
// (all buttons live on the user-interface thread).
CImageButton* g_repeating = nullptr;
} // namespace

CImageButton::CImageButton(const wchar_t* name)
{
    ++g_created;
    if (name) {
        std::wcsncpy(this->name, name, kNameChars - 1);
    } else {
        std::swprintf(this->name, kNameChars, L"ImageButton_%04d", g_created);
    }
}

CImageButton::~CImageButton()
{
    if (g_repeating == this)
        g_repeating = nullptr;
}

int CImageButton::CreatedCount() { return g_created; }

void CImageButton::SetNormalBitmaps(void* normal, void* hover, void* pressed, void* disabled)
{
    void* b[4] = {normal, hover, pressed, disabled};
    for (int i = 0; i < 4; ++i)
        normalBitmaps[i] = b[i];
}

void CImageButton::SetCheckedBitmaps(void* normal, void* hover, void* pressed, void* disabled)
{
    void* b[4] = {normal, hover, pressed, disabled};
    for (int i = 0; i < 4; ++i)
        checkedBitmaps[i] = b[i];
}

void* CImageButton::Image() const
{
    if (!visible || state < kNormal || state > kDisabled)
        return nullptr;
    void* const* set = toggle && checked ? checkedBitmaps : normalBitmaps;
    if (state == kDisabled && !set[kDisabled])
        return set[kNormal];
    return set[state];
}

void CImageButton::Post(unsigned message, uintptr_t wp, intptr_t lp)
{
    if (owner)
        owner->Post(message, wp, lp);
}

void CImageButton::Changed()
{
    if (owner && visible)
        owner->Draw(*this);
}

void CImageButton::StopRepeating()
{
    if (owner)
        owner->StopTimer(static_cast<unsigned>(command));
    if (g_repeating == this)
        g_repeating = nullptr;
}

bool CImageButton::OwnDown(int x, int y)
{
    if (!Live())
        return false;
    if (rect.Contains(x, y)) {
        if (state == kPressed)
            return false;
        state = kPressed;
        if (autoRepeat) {
            if (g_repeating && g_repeating != this)
                g_repeating->StopRepeating();
            if (owner)
                owner->StartTimer(static_cast<unsigned>(command), repeatInterval ? repeatInterval : 10);
            g_repeating = this;
        }
        Post(kMsgPressed, static_cast<uintptr_t>(command), 0);
    } else {
        if (state == kNormal)
            return false;
        state = kNormal;
    }
    Changed();
    return true;
}

bool CImageButton::OwnUp(int x, int y)
{
    if (!Live())
        return false;
    if (autoRepeat)
        StopRepeating();
    if (rect.Contains(x, y)) {
        if (state == kHover)
            return false;
        if (state == kPressed) {
            if (toggle)
                checked = !checked;
            if (autoRepeat)
                Post(kMsgRepeatEnd, static_cast<uintptr_t>(command), 0);
            else
                Post(kMsgViewCommand, static_cast<uintptr_t>(command), checked * 65536 + toggle);
            Post(kMsgReleased, static_cast<uintptr_t>(command), 0);
        }
        state = kHover;
    } else {
        if (state == kNormal)
            return false;
        state = kNormal;
    }
    Changed();
    return true;
}

bool CImageButton::OwnMove(int keys, int x, int y)
{
    if (!Live())
        return false;
    const bool inside = rect.Contains(x, y);
    if (autoRepeat && state == kPressed && !inside) {
        StopRepeating();
        Post(kMsgRepeatEnd, static_cast<uintptr_t>(command), 0);
    }
    int32_t next = state;
    if (keys != kLeftHeld) {
        next = inside ? kHover : (toggle && checked ? kPressed : kNormal);
    } else if (inside) {
        if (state != kHover && state != kPressed)
            next = kHover;
    } else if (state != kNormal) {
        if (state == kPressed)
            Post(kMsgReleased, static_cast<uintptr_t>(command), 0);
        next = kNormal;
    }
    if (next == state)
        return false;
    state = next;
    Changed();
    return true;
}

template <class F>
bool CImageButton::OverList(F each)
{
    bool changed = false;
    for (CImageButton* b = this; b; b = b->next)
        changed |= each(*b);
    return changed;
}

bool CImageButton::MouseDown(int x, int y) { return OverList([&](CImageButton& b) { return b.OwnDown(x, y); }); }

bool CImageButton::MouseUp(int x, int y) { return OverList([&](CImageButton& b) { return b.OwnUp(x, y); }); }

bool CImageButton::MouseMove(int keys, int x, int y)
{
    return OverList([&](CImageButton& b) { return b.OwnMove(keys, x, y); });
}

void CImageButton::DrawAll()
{
    for (CImageButton* b = this; b; b = b->next)
        if (b->visible && b->owner)
            b->owner->Draw(*b);
}

bool CImageButton::OnRepeatTimer(unsigned id)
{
    CImageButton* b = g_repeating;
    if (!b || static_cast<unsigned>(b->command) != id)
        return false;
    if (b->autoRepeat)
        b->Post(kMsgViewCommand, id, 0);
    else
        b->StopRepeating();
    return true;
}

} // namespace panel
