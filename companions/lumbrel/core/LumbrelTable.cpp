#include "LumbrelTable.h"

#include "skin/SkinCode.h"

namespace skin::lumbrel {

namespace {

struct AreaRow {
    uint16_t id;
    SkinRect rect;
};

struct ButtonRow {
    uint16_t id;
    SkinRect rect;
    int normalBitmap;
    int checkedBitmap; // 0: the button has no checked set
};

#include "LumbrelLayout.inc"

const ButtonRow* FindButton(uint16_t id)
{
    for (const ButtonRow& b : kButtons) {
        if (b.id == id)
            return &b;
    }
    return nullptr;
}

} // namespace

bool Rect(uint16_t id, SkinRect* out)
{
    for (const AreaRow& a : kAreas) {
        if (a.id == id) {
            if (out)
                *out = a.rect;
            return true;
        }
    }
    if (const ButtonRow* b = FindButton(id)) {
        if (out)
            *out = b->rect;
        return true;
    }
    return false;
}

int SingleBitmap(uint16_t id) { return id == kBackgroundId ? kBackgroundBitmap : 0; }

ButtonSet FourStateBitmaps(uint16_t id)
{
    const ButtonRow* b = FindButton(id);
    return b ? ButtonSet{ButtonSetAction::Load, b->normalBitmap} : ButtonSet{};
}

ButtonSet ExtendedBitmaps(uint16_t id)
{
    const ButtonRow* b = FindButton(id);
    return b && b->checkedBitmap ? ButtonSet{ButtonSetAction::Load, b->checkedBitmap} : ButtonSet{};
}

int AreaCount() { return int(sizeof kAreas / sizeof kAreas[0]); }
uint16_t AreaId(int index) { return index >= 0 && index < AreaCount() ? kAreas[index].id : 0; }
int ButtonCount() { return int(sizeof kButtons / sizeof kButtons[0]); }
uint16_t ButtonId(int index) { return index >= 0 && index < ButtonCount() ? kButtons[index].id : 0; }

uint32_t SkinCode() { return kSkinCodeXJVQ; }

} // namespace skin::lumbrel
