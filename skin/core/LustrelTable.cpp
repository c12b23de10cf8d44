#include "LustrelTable.h"

#include <cstddef>

namespace skin::lustrel {

namespace {

struct RectEntry {
    int16_t id;
    SkinRect rect;
};

constexpr RectEntry kRects[] = {
    {0, {0, 0, 1000, 750}},     {1, {13, 688, 176, 730}},   {2, {176, 688, 339, 730}},  {3, {338, 688, 501, 730}},
    {4, {662, 688, 825, 730}},  {5, {824, 688, 987, 730}},  {6, {500, 688, 663, 730}},  {7, {640, 426, 640, 426}},
    {8, {0, 0, 0, 0}},          {36, {0, 0, 0, 0}},         {9, {851, 40, 909, 98}},    {10, {104, 370, 104, 370}},
    {11, {520, 614, 670, 634}}, {12, {734, 614, 884, 634}}, {13, {530, 284, 625, 298}}, {16, {0, 0, 766, 492}},
    {17, {10, 42, 750, 472}},   {18, {22, 62, 562, 454}},   {19, {574, 70, 740, 98}},   {20, {574, 110, 740, 138}},
    {21, {574, 150, 740, 178}}, {22, {574, 352, 740, 380}}, {23, {574, 392, 740, 420}}, {24, {574, 431, 740, 459}},
    {32, {0, 0, 880, 660}},     {33, {0, 0, 880, 660}},     {34, {0, 0, 880, 660}},     {35, {0, 0, 880, 660}},
    {37, {0, 0, 880, 660}},     {64, {0, 0, 880, 660}},     {65, {0, 0, 880, 660}},
};

struct IdPair {
    int16_t id;
    int value;
};

template <std::size_t N> int Find(const IdPair (&table)[N], uint16_t id)
{
    const int16_t key = static_cast<int16_t>(id);
    for (const IdPair& e : table) {
        if (e.id == key)
            return e.value;
    }
    return 0;
}

constexpr IdPair kSingleBitmaps[] = {{0, 200}, {16, 350}, {64, 351}, {65, 352}};
constexpr IdPair kButtonSets[] = {{1, 241}, {2, 221}, {3, 205}, {4, 213}, {5, 209}, {6, 217}, {9, 245}};
constexpr IdPair kHelp[] = {{0, 112}, {1, 103}, {2, 109}, {3, 104},  {4, 106},  {5, 105},
                            {6, 107}, {7, 110}, {8, 111}, {48, 113}, {49, 114}, {50, 115}};
constexpr IdPair kNames[] = {{0, 112}, {1, 116}, {2, 117}, {3, 118}, {4, 120}, {5, 121}, {6, 122}};
constexpr IdPair kIcons[] = {{48, 128}};

} // namespace

bool Rect(uint16_t id, SkinRect* out)
{
    const int16_t key = static_cast<int16_t>(id);
    for (const RectEntry& e : kRects) {
        if (e.id == key) {
            if (out)
                *out = e.rect;
            return true;
        }
    }
    return false;
}

int SingleBitmap(uint16_t id) { return Find(kSingleBitmaps, id); }

ButtonSet FourStateBitmaps(uint16_t id)
{
    const int16_t key = static_cast<int16_t>(id);
    if (key >= 19 && key <= 24)
        return {ButtonSetAction::Clear, 0};
    if (int first = Find(kButtonSets, id))
        return {ButtonSetAction::Load, first};
    return {};
}

ButtonSet ExtendedBitmaps(uint16_t id)
{
    const int16_t key = static_cast<int16_t>(id);
    if (key == 10 || key == 17 || key == 18)
        return {ButtonSetAction::Clear, 0};
    return {};
}

int HelpString(uint16_t id) { return Find(kHelp, id); }
int NameString(uint16_t id) { return Find(kNames, id); }
int Icon(uint16_t id) { return Find(kIcons, id); }

bool TextColor(uint16_t id, uint32_t* out)
{
    const int16_t key = static_cast<int16_t>(id);
    uint32_t c;
    if (key == 10) {
        c = 0x3FC68D;
    } else if (key >= 11 && key <= 13) {
        c = 0x01FEFE;
    } else {
        return false;
    }
    if (out)
        *out = c;
    return true;
}

} // namespace skin::lustrel
