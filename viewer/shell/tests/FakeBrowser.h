#pragma once
// A stand-in for a hosting web browser: IWebBrowser2 whose get_HWND answers a window of the test's.
// Only IUnknown and get_HWND are implemented; any other call is a fault of the caller and crashes.
#include <windows.h>
#include <exdisp.h>

#ifdef __cplusplus
extern "C" {
#endif
// Created with one reference, which the caller owns.
IWebBrowser2* FakeBrowserCreate(HWND topLevel);
#ifdef __cplusplus
}
#endif
