#include "skin/LanguageLibrary.h"

#include "foundation/Module.h"
#include <cwchar>

#include "skin/ViewerStrings.h"

namespace viewer_strings {

std::wstring LanguageLibraryPath(HMODULE module)
{
    const std::wstring folder = win::ModuleFolder(module);
    return folder.empty() ? std::wstring(kLanguageLibraryName) : folder + kLanguageLibraryName;
}

HMODULE LoadLanguageLibrary(HMODULE module)
{
    const DWORD flags = LOAD_LIBRARY_AS_DATAFILE;
    HMODULE h = LoadLibraryExW(LanguageLibraryPath(module).c_str(), nullptr, flags);
    if (!h)
        h = LoadLibraryExW(kLanguageLibraryName, nullptr, flags);
    return h;
}

int LoadViewerString(HMODULE language, int id, wchar_t* text, int chars)
{
    if (!text || chars <= 0)
        return 0;
    text[0] = L'\0';
    if (language) {
        int n = LoadStringW(language, static_cast<UINT>(id), text, chars);
        if (n > 0)
            return n;
    }
    const wchar_t* def = DefaultText(id);
    if (!def)
        return 0;
    std::wcsncpy(text, def, size_t(chars - 1));
    text[chars - 1] = L'\0';
    return int(std::wcslen(text));
}

} // namespace viewer_strings
