// Lumbrel: the viewer's skin library. The SMAPI_ exports come from the skin-library layer
// (SkinLibrary.h) over this table; the skin code is Lumbrel's own export.
#define PX_SKIN_BUILD
#include "skin/SkinApi.h"

#include "SkinLibrary.h"
#include "LumbrelTable.h"
#include "foundation/Module.h"

// The viewer takes its texts from its language library; this skin has no help texts, captions,
// colours or icon, and answers as for unlisted identifiers.
const skinui::SkinTable skinui::kSkinTable{
    .rect = skin::lumbrel::Rect,
    .singleBitmap = skin::lumbrel::SingleBitmap,
    .fourStateBitmaps = skin::lumbrel::FourStateBitmaps,
    .extendedBitmaps = skin::lumbrel::ExtendedBitmaps,
};

unsigned int SMAPI_GetSkinCode()
{
    return win::Barrier("SMAPI_GetSkinCode", 0u, [&]() -> unsigned int { return skin::lumbrel::SkinCode(); });
}
