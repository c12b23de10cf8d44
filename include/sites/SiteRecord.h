#pragma once
// One DVR site as the manager's dialogs hand it around: 432 bytes, little-endian, strings UTF-16 and
// NUL-terminated within their field. No windows.h: on Windows the text fields are wchar_t.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sites {

#ifdef _WIN32
using SiteChar = wchar_t;
#else
using SiteChar = char16_t;
#endif
static_assert(sizeof(SiteChar) == 2);

constexpr uint32_t kSiteRecordSize = 432;
constexpr int32_t kDefaultPort = 50000;
constexpr int32_t kLowestPort = 1;
constexpr int32_t kHighestPort = 65530;

// Field widths in UTF-16 units, terminator included.
constexpr size_t kAddressUnits = 60;
constexpr size_t kTextUnits = 30; // location, DDNS member, DDNS name, user ID, password

#pragma pack(push, 1)
struct SiteRecord {
    uint32_t size; // kSiteRecordSize when valid, 0 marks it invalid
    uint8_t type; // 0: address entered by hand ("IP"); non-zero: DDNS entry ("DDNS")
    uint8_t reserved5;
    SiteChar address[kAddressUnits]; // host name or dotted address
    SiteChar location[kTextUnits];
    uint8_t reserved186[2];
    int32_t port; // 1 to 65530
    SiteChar ddnsMember[kTextUnits];
    SiteChar ddnsName[kTextUnits];
    SiteChar userId[kTextUnits];
    SiteChar password[kTextUnits]; // plain text
};
#pragma pack(pop)

static_assert(sizeof(SiteRecord) == kSiteRecordSize);
static_assert(offsetof(SiteRecord, type) == 4);
static_assert(offsetof(SiteRecord, address) == 6);
static_assert(offsetof(SiteRecord, location) == 126);
static_assert(offsetof(SiteRecord, reserved186) == 186);
static_assert(offsetof(SiteRecord, port) == 188);
static_assert(offsetof(SiteRecord, ddnsMember) == 192);
static_assert(offsetof(SiteRecord, ddnsName) == 252);
static_assert(offsetof(SiteRecord, userId) == 312);
static_assert(offsetof(SiteRecord, password) == 372);

// The port a dialog shows for a record: 0 stands for the default.
inline int32_t ShownPort(const SiteRecord& r) { return r.port == 0 ? kDefaultPort : r.port; }

// A text field up to its terminator (or its whole width when it has none).
template <size_t N> std::basic_string<SiteChar> FieldText(const SiteChar (&field)[N])
{
    size_t n = 0;
    while (n < N && field[n])
        ++n;
    return {field, n};
}

// Puts at most `chars` characters of `text` into a field (never more than its width leaves for the
// terminator), zeroing the rest.
template <size_t N> void SetField(SiteChar (&field)[N], std::basic_string_view<SiteChar> text, size_t chars = N - 1)
{
    const size_t n = std::min({text.size(), chars, N - 1});
    for (size_t i = 0; i < N; ++i)
        field[i] = i < n ? text[i] : SiteChar{};
}

} // namespace sites
