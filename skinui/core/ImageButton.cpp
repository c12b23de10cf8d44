#include "ImageButton.h"
#include <cwchar>

namespace skinui {

CImageButton::CImageButton(CButtonGroup& group, const wchar_t* name) : group_(group)
{
    ++group_.created_;
    if (name) {
        std::wcsncpy(this->name, name, kNameChars - 1);
    } else {
        std::swprintf(this->name, kNameChars, L"ImageButton_%04d", group_.created_);
    }
}

CImageButton::~CImageButton()
{
    if (group_.repeating_ == this)
        group_.repeating_ = nullptr;
}

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
    if (group_.repeating_ == this)
        group_.repeating_ = nullptr;
}

bool CImageButton::Become(int32_t next)
{
    if (next == state)
        return false;
    state = next;
    Changed();
    return true;
}

bool CImageButton::OwnDown(int x, int y)
{
    if (!Live())
        return false;
    if (!rect.Contains(x, y))
        return Become(kNormal);
    if (state == kPressed)
        return false;
    state = kPressed;
    if (autoRepeat) {
        if (group_.repeating_ && group_.repeating_ != this)
            group_.repeating_->StopRepeating();
        if (owner)
            owner->StartTimer(static_cast<unsigned>(command), repeatInterval ? repeatInterval : 10);
        group_.repeating_ = this;
    }
    Post(kMsgPressed, static_cast<uintptr_t>(command), 0);
    Changed();
    return true;
}

bool CImageButton::OwnUp(int x, int y)
{
    if (!Live())
        return false;
    if (autoRepeat)
        StopRepeating();
    if (!rect.Contains(x, y))
        return Become(kNormal);
    if (state == kPressed) {
        if (toggle)
            checked = !checked;
        if (autoRepeat)
            Post(kMsgRepeatEnd, static_cast<uintptr_t>(command), 0);
        else
            Post(kMsgViewCommand, static_cast<uintptr_t>(command), checked * 65536 + toggle);
        Post(kMsgReleased, static_cast<uintptr_t>(command), 0);
    }
    return Become(kHover);
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
    return Become(next);
}

template <class F> bool CImageButton::OverList(F each)
{
    bool changed = false;
    for (CImageButton* b = this; b; b = b->next)
        changed |= each(*b);
    return changed;
}

bool CImageButton::MouseDown(int x, int y)
{
    return OverList([&](CImageButton& b) { return b.OwnDown(x, y); });
}

bool CImageButton::MouseUp(int x, int y)
{
    return OverList([&](CImageButton& b) { return b.OwnUp(x, y); });
}

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

bool CButtonGroup::OnRepeatTimer(unsigned id)
{
    CImageButton* b = repeating_;
    if (!b || static_cast<unsigned>(b->command) != id)
        return false;
    if (b->autoRepeat)
        b->Post(kMsgViewCommand, id, 0);
    else
        b->StopRepeating();
    return true;
}

} // namespace skinui
