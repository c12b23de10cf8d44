// Arbitrary bytes as a site file: the reader never reads outside them, keeps every field within its
// width, and what it loads survives a save and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "ProfileText.h"
#include "SiteFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const sites::SiteFileContents read = sites::ReadSiteFile(bytes);
    for (const sites::SiteText& s : read.sites)
        if (s.address.empty() || s.address.size() > 59 || s.location.size() > 29 || s.userId.size() > 29 ||
            s.password.size() > 29 || s.ddnsMember.size() > 29 || s.ddnsName.size() > 29)
            std::abort();
    // A value with blanks at an end (Ctrl-Z among them, left there when a NUL cut the value) or in
    // quotes of its own (left once its outer quotes went) does not come back as it was; when no value
    // is like that, the sites must.
    const auto survives = [](const std::string& v) {
        const auto blank = [](char c) { return std::strchr(" \t\r\n\v\f\x1a", c) && c; };
        return v.empty() ||
            (!blank(v.front()) && !blank(v.back()) &&
             !(v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]));
    };
    bool stable = true;
    for (const sites::SiteText& s : read.sites)
        for (const std::string* v : {&s.address, &s.location, &s.userId, &s.password, &s.ddnsMember, &s.ddnsName})
            stable = stable && survives(*v);
    const std::optional<std::string> written = sites::WriteSiteFile(read.sites);
    if (!written) // a value read from a file never holds a line break or a NUL
        std::abort();
    const sites::SiteFileContents again = sites::ReadSiteFile(*written);
    if (stable && again.sites != read.sites)
        std::abort();
    sites::ProfileText(bytes).Int("SETUP_INFO", "NUMBER", 0);
    return 0;
}
