// The manager skin's fixed tables. Identifiers are compared as signed 16-bit numbers, so every
// identifier of 0x8000 and above matches nothing.
#pragma once

#include "SkinTypes.h"

namespace skin::lustrel {

// False for an unlisted identifier.
bool Rect(uint16_t id, SkinRect* out);

// Bitmap resource of a single (background) bitmap, 0 when unlisted. Identifier 16 names bitmap
// 350, which the library does not hold.
int SingleBitmap(uint16_t id);

ButtonSet FourStateBitmaps(uint16_t id);
ButtonSet ExtendedBitmaps(uint16_t id);

// String resources of help texts and captions, 0 when unlisted (the caller zeroes its buffer).
int HelpString(uint16_t id);
int NameString(uint16_t id);

// A colour value (red in the low byte); false when unlisted.
bool TextColor(uint16_t id, uint32_t* out);

// Icon resource, 0 when unlisted.
int Icon(uint16_t id);

// Bytes of the caller's buffer zeroed for an unlisted help or name identifier.
inline constexpr int kHelpZeroBytes = 1024;
inline constexpr int kNameZeroBytes = 30;

} // namespace skin::lustrel
