#pragma once
#include <windows.h>
// The bench's small COM class: an in-process object that answers IPersist with its own class id.
// {6B1F1C52-3C8E-4F7B-9A51-2D4E8B0C7A11}
static const CLSID CLSID_BenchObject = {0x6b1f1c52, 0x3c8e, 0x4f7b, {0x9a, 0x51, 0x2d, 0x4e, 0x8b, 0x0c, 0x7a, 0x11}};
#define BENCH_PROGID L"Winebench.Object.1"
