#pragma once
// Little-endian reads and writes over caller buffers, with the bounds checked against the bytes
// that are really there. Every wire and file parser reads through these.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wire {

inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLE32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
        (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreLE16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// A cursor over received bytes. A read past the end fails, leaves the cursor where it was and
// marks the reader bad, so a parser can read a whole record and check once.
class ByteReader {
public:
    ByteReader(const void* data, size_t size) : p_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

    size_t Size() const { return size_; }
    size_t Offset() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    bool Ok() const { return ok_; }
    bool Has(size_t n) const { return n <= size_ - pos_; }

    bool Skip(size_t n) { return Take(n) != nullptr; }
    bool U8(uint8_t& v)
    {
        return Read(v, 1, [](const uint8_t* q) { return q[0]; });
    }
    bool U16(uint16_t& v) { return Read(v, 2, LoadLE16); }
    bool U32(uint32_t& v) { return Read(v, 4, LoadLE32); }
    bool I32(int32_t& v)
    {
        uint32_t u;
        if (!U32(u))
            return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Bytes(void* out, size_t n)
    {
        const uint8_t* q = Take(n);
        if (q && n)
            std::memcpy(out, q, n);
        return q != nullptr;
    }
    // A pointer to the next n bytes, or null (and the reader marked bad) when fewer remain.
    const uint8_t* Take(size_t n)
    {
        if (!Has(n)) {
            ok_ = false;
            return nullptr;
        }
        const uint8_t* q = p_ + pos_;
        pos_ += n;
        return q;
    }

private:
    template <class T, class F> bool Read(T& v, size_t n, F load)
    {
        const uint8_t* q = Take(n);
        if (!q)
            return false;
        v = static_cast<T>(load(q));
        return true;
    }

    const uint8_t* p_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace wire
