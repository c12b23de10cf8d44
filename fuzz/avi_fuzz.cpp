// Arbitrary bytes as an exported AVI: the reader never keeps a chunk that is not wholly inside the
// file, every kept chunk reads back, and the sound's sample positions only grow.
#include "AviReader.h"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    struct Scratch { // the bytes as a file; removed when the fuzzer ends
        std::string path = "/tmp/avi_fuzz." + std::to_string(getpid()) + ".avi";
        ~Scratch() { std::remove(path.c_str()); }
    };
    static const Scratch scratch;
    FILE* f = std::fopen(scratch.path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    backup::AviReader avi;
    std::string error;
    if (!avi.Open(scratch.path, &error))
        return 0;
    std::vector<uint8_t> bytes;
    for (const backup::AviVideoChunk& c : avi.Video())
        if (c.offset + c.size > size || c.size > backup::AviReader::kMaxPicture ||
            (c.size && !avi.Read(c.offset, c.size, &bytes)))
            std::abort();
    uint64_t next = 0;
    for (const backup::AviSoundChunk& c : avi.Sound()) {
        if (c.offset + c.size > size || c.firstSample != next || !avi.Read(c.offset, c.size, &bytes))
            std::abort();
        next += c.size / 2;
    }
    if (avi.Width() % 16 || avi.Height() % 16 || avi.Rate() == 0 || avi.Scale() == 0)
        std::abort();
    return 0;
}
