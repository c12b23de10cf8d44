#include "foundation/Trace.h"
#include <atomic>
#include <cwchar>

namespace win {

namespace {

// Looked up once: the program's sink, if it exports one.
TraceSinkFn Sink()
{
    static std::atomic<TraceSinkFn> sink{nullptr};
    static std::atomic<bool> looked{false};
    if (!looked.load(std::memory_order_acquire)) {
        auto fn = reinterpret_cast<TraceSinkFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "PxTraceSink")));
        sink.store(fn, std::memory_order_relaxed);
        looked.store(true, std::memory_order_release);
    }
    return sink.load(std::memory_order_relaxed);
}

} // namespace

void TraceV(const wchar_t* format, va_list args)
{
    wchar_t line[kTraceChars];
    int n = _vsnwprintf(line, kTraceChars, format, args);
    if (n < 0 || n >= kTraceChars)
        line[kTraceChars - 1] = L'\0'; // cut, never unterminated
    OutputDebugStringW(line);
    if (TraceSinkFn sink = Sink())
        sink(line);
}

void Trace(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    TraceV(format, args);
    va_end(args);
}

void TraceFixme(const char* interfaceName, const char* method)
{
    Trace(L"===>>> fixme: %S::%S not implemented\n", interfaceName, method);
}

} // namespace win
