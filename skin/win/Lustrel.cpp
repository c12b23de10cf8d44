// Lustrel: the manager's skin library. The SMAPI_ exports come from the skin-library layer
// (SkinLibrary.h) over this table.
#include "SkinLibrary.h"
#include "LustrelTable.h"

const skinui::SkinTable skinui::kSkinTable{
    .rect = skin::lustrel::Rect,
    .singleBitmap = skin::lustrel::SingleBitmap,
    .fourStateBitmaps = skin::lustrel::FourStateBitmaps,
    .extendedBitmaps = skin::lustrel::ExtendedBitmaps,
    .helpString = skin::lustrel::HelpString,
    .nameString = skin::lustrel::NameString,
    .icon = skin::lustrel::Icon,
    .textColor = skin::lustrel::TextColor,
    .helpZeroBytes = skin::lustrel::kHelpZeroBytes,
    .nameZeroBytes = skin::lustrel::kNameZeroBytes,
};
