#pragma once
// Win32 only: wide text to the ANSI code page with "#" for characters that have no equivalent, as
// the login and the connect address carry it. The neutral builders take the result.
#ifdef _WIN32
#include <windows.h>
#include <string>
#include <string_view>

namespace protocol {

// At most `maxBytes` bytes (a character is never split). Empty on failure.
inline std::string ToAnsi(std::wstring_view text, size_t maxBytes)
{
    std::string out;
    if (text.empty())
        return out;
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text.data(), static_cast<int>(text.size()), nullptr, 0, "#",
                                &usedDefault);
    if (n <= 0)
        return out;
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text.data(), static_cast<int>(text.size()), out.data(), n, "#",
                        &usedDefault);
    if (out.size() > maxBytes) {
        // Cut on a character boundary: shorten the wide text until it fits.
        size_t chars = text.size();
        while (chars > 0 && out.size() > maxBytes) {
            --chars;
            out = ToAnsi(text.substr(0, chars), static_cast<size_t>(-1));
        }
    }
    return out;
}

} // namespace protocol
#endif
