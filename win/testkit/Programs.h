#pragma once
// Starting other Windows programs from a test: regsvr32, cscript, probes copied beside a test.
#include <windows.h>
#include <string>

namespace testkit {

// `name` in the folder of the running test program.
std::wstring BesideMe(const wchar_t* name);

// Runs the command line `cmd` in `folder` (null: ours) and waits up to `ms` for it to end. Its exit
// code, or GetLastError() | 0x80000000 when it did not start. With `output`, an inheritable handle,
// its standard output and error go there.
DWORD RunAndWait(std::wstring cmd, DWORD ms = 60000, HANDLE output = nullptr, const wchar_t* folder = nullptr);

// Runs `cmd` in `folder` as RunAndWait does and returns what it wrote to its standard output and
// error, or "spawn failed".
std::string RunAndCapture(const std::wstring& cmd, const wchar_t* folder = nullptr, DWORD ms = 10000);

} // namespace testkit
