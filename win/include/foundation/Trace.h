#pragma once
// The viewer's trace: lines beginning "===>>> " (something happened) or "<<< " (something ended),
// formatted into a buffer of 2000 wide characters and written to the debugger output. Tracing is on
// from start-up. A program that exports `PxTraceSink` (the test kit does) also receives every line,
// from every module of the process.
#include <windows.h>
#include <cstdarg>

namespace win {

constexpr int kTraceChars = 2000;

// printf-style with the platform's wide conventions (%s is a wide string, %S a narrow one).
void Trace(const wchar_t* format, ...);
void TraceV(const wchar_t* format, va_list args);

// A method of an interface that a caller asked for and this module does not implement.
void TraceFixme(const char* interfaceName, const char* method);

// Signature of the sink a program may export under the name "PxTraceSink".
using TraceSinkFn = void(__cdecl*)(const wchar_t* line);

} // namespace win
