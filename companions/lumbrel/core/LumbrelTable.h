// The viewer skin's tables, generated from the panel description (art/lumbrel_art.py).
// Identifiers are compared as unsigned 16-bit values: the panel's own areas live at 0xF000 and
// above, which a signed comparison would never match.
#pragma once

#include "SkinTypes.h"

namespace skin::lumbrel {

bool Rect(uint16_t id, SkinRect* out);
int SingleBitmap(uint16_t id);
ButtonSet FourStateBitmaps(uint16_t id);
ButtonSet ExtendedBitmaps(uint16_t id);

// Every identifier with a rectangle, for whoever wants to walk the table.
int AreaCount();
uint16_t AreaId(int index);
int ButtonCount();
uint16_t ButtonId(int index);

// "XJVQ": the variant for which the viewer sets the login's skin option bit.
uint32_t SkinCode();

} // namespace skin::lumbrel
