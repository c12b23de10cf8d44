// Loading the viewer's language library (lingua_res.dll) and its strings (Win32).
#pragma once

#include <windows.h>

#include <string>

namespace viewer_strings {

inline constexpr wchar_t kLanguageLibraryName[] = L"lingua_res.dll";

// Full path of lingua_res.dll in the folder of `module` (the viewer DLL's own folder: a bare
// name loaded from a DLL would search the host program's folder instead).
std::wstring LanguageLibraryPath(HMODULE module);

// Loads the library as a data file: from module's folder first, then by the standard search.
// Null on failure, with GetLastError() telling why. Free it with FreeLibrary.
HMODULE LoadLanguageLibrary(HMODULE module);

// String id from the library into text (chars with the terminator); the viewer's English
// default when the library is null or lacks the id; empty when neither has it. Returns the length.
int LoadViewerString(HMODULE language, int id, wchar_t* text, int chars);

} // namespace viewer_strings
