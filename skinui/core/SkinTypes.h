// Neutral records of the skin tables (no windows.h), shared by Lustrel and Lumbrel.
#pragma once

#include <cstdint>

namespace skin {

struct SkinRect {
    int32_t left, top, right, bottom;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// What a four-state lookup does with the caller's four outs.
enum class ButtonSetAction { Unchanged, Clear, Load };

struct ButtonSet {
    ButtonSetAction action = ButtonSetAction::Unchanged;
    int firstBitmap = 0; // Load: the four consecutive bitmap identifiers start here
};

} // namespace skin
