#include "PlainSleep.h"
#include <windows.h>

namespace pipeline {
void PlainSleep(std::chrono::milliseconds d) { ::Sleep(static_cast<DWORD>(d.count())); }
} // namespace pipeline
