#pragma once
// Win32 only: wide text to the ANSI code page with "#" for characters that have no equivalent, as
// the login and the connect address carry it. The neutral builders take the result.
#ifdef _WIN32
#include <windows.h>
#include <string>
#include <string_view>

namespace protocol {

// Code pages whose conversion takes neither flags nor a default character (UTF-8, which current
// Windows may set as the ANSI code page, UTF-7, the ISO-2022 and ISCII pages, Symbol): asking them
// for either fails the whole conversion. UTF-8 has an equivalent for every character anyway.
inline bool TakesConversionFlags(UINT codePage)
{
    return !(codePage == CP_UTF8 || codePage == CP_UTF7 || codePage == 42 || (codePage >= 50220 && codePage <= 50229) ||
             (codePage >= 57002 && codePage <= 57011));
}

// At most `maxBytes` bytes (a character is never split). Empty on failure. `codePage` CP_ACP is
// the system's ANSI code page.
inline std::string ToAnsi(std::wstring_view text, size_t maxBytes, UINT codePage = CP_ACP)
{
    std::string out;
    if (text.empty())
        return out;
    if (codePage == CP_ACP)
        codePage = GetACP();
    const bool flagged = TakesConversionFlags(codePage);
    const DWORD flags = flagged ? WC_COMPOSITECHECK : 0;
    const char* fallback = flagged ? "#" : nullptr;
    BOOL usedDefault = FALSE;
    BOOL* used = flagged ? &usedDefault : nullptr;
    int n =
        WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, fallback, used);
    if (n <= 0)
        return out;
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n, fallback, used);
    if (out.size() > maxBytes) {
        // Cut on a character boundary: shorten the wide text until it fits.
        size_t chars = text.size();
        while (chars > 0 && out.size() > maxBytes) {
            --chars;
            out = ToAnsi(text.substr(0, chars), static_cast<size_t>(-1), codePage);
        }
    }
    return out;
}

} // namespace protocol
#endif
