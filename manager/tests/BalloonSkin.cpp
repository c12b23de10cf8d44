// Lustrel with a help balloon: the same tables and resources, except that rectangle 10 (where the
// main window draws its help balloon, empty in Lustrel, which hides every balloon) has a size. Placed
// beside a copy of Orvex.exe as Lustrel.dll, it shows the balloons to the tests.
#include "LustrelTable.h"
#include "SkinLibrary.h"

namespace {
bool BalloonRect(uint16_t id, skin::SkinRect* out)
{
    if (id != 10)
        return skin::lustrel::Rect(id, out);
    if (out)
        *out = {40, 380, 960, 480};
    return true;
}
} // namespace

const skinui::SkinTable skinui::kSkinTable{
    .rect = BalloonRect,
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
