// The SMAPI_ exports of a skin library (skin/SkinApi.h), written once over the library's table.
// A skin DLL links this layer's object and defines kSkinTable; it keeps only its table, its
// resources and any export of its own.
#pragma once

#include <cstdint>

#include "SkinTypes.h"

namespace skinui {

// The lookups of one skin library. A null lookup answers as for an unlisted identifier.
struct SkinTable {
    bool (*rect)(uint16_t id, skin::SkinRect* out) = nullptr;
    int (*singleBitmap)(uint16_t id) = nullptr; // bitmap resource, 0 when unlisted
    skin::ButtonSet (*fourStateBitmaps)(uint16_t id) = nullptr;
    skin::ButtonSet (*extendedBitmaps)(uint16_t id) = nullptr;
    int (*helpString)(uint16_t id) = nullptr; // string resource, 0 when unlisted
    int (*nameString)(uint16_t id) = nullptr;
    int (*icon)(uint16_t id) = nullptr; // icon resource, 0 when unlisted
    bool (*textColor)(uint16_t id, uint32_t* out) = nullptr;
    // Bytes of the caller's buffer zeroed for an unlisted help or name identifier.
    int helpZeroBytes = 1024;
    int nameZeroBytes = 30;
};

// Defined by the skin DLL that links the exports.
extern const SkinTable kSkinTable;

} // namespace skinui
