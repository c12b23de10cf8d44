// Template for the project's fuzz targets: arbitrary bytes through a reader never read outside them.
#include "wire/ByteOrder.h"
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    wire::ByteReader r(data, size);
    uint8_t n = 0;
    while (r.U8(n)) {
        uint32_t v;
        if (n & 1)
            r.U32(v);
        else
            r.Skip(n >> 1);
    }
    return 0;
}
