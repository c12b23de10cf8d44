#pragma once
// What the view's panel asks of the viewer skin (Lumbrel's SMAPI_ calls), its rectangles, and the
// dialog items it places. Null skin entries: a built-in layout without pictures and skin code 0.
#include <windows.h>

namespace view {

struct ViewSkin {
    void (*getResourceRect)(unsigned short id, RECT* rect) = nullptr;
    unsigned int (*getSkinCode)() = nullptr;
    HBITMAP (*getBitmap)(unsigned short id) = nullptr; // the caller owns the bitmap
    // The four images (normal, hover, pressed, disabled) of a button, and of its checked set; the
    // caller owns what it gets.
    void (*getButtonBitmaps)(unsigned short id, HBITMAP out[4]) = nullptr;
    void (*getCheckedBitmaps)(unsigned short id, HBITMAP out[4]) = nullptr;
};

// Skin rectangles of the panel.
enum : unsigned short {
    kRectPanel = 0xF000, // also the background bitmap
    kRectDisplay = 0xF001,
    kRectAddress = 0xF002,
    kRectPort = 0xF003,
    kRectUser = 0xF004,
    kRectPassword = 0xF005,
    kRectPtzCamera = 0xF007,
    kRectHiddenEdit = 0xF008,
    kRectPtzProtocol = 0xF009,
    kRectBaud = 0xF00A,
    kRectVersion = 0xF00B,
    kRectStatusLog = 0xF00C,
    kRectAutoPtz = 0xF00D,
    kRectSpeed = 51,
};

// Dialog items of the view.
enum : int {
    kItemAddress = 201,
    kItemPort = 202,
    kItemUser = 203,
    kItemPassword = 204,
    kItemPtzProtocol = 205,
    kItemBaud = 206,
    kItemHiddenEdit = 210,
    kItemStatusLog = 211,
    kItemPtzCamera = 212,
    kItemSpeed = 213,
    kItemAutoPtz = 214,
};

// Field lengths of items 201-204.
constexpr int kAddressChars = 100, kPortChars = 5, kUserChars = 50, kPasswordChars = 20;

// A skin rectangle, or the built-in layout's when the skin has none.
RECT PanelRect(const ViewSkin& skin, unsigned short id);

} // namespace view
