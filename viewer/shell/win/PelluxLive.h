#pragma once
// A private interface of the Pellux control for the view host program and the live-video
// figures: not in the type library, not for pages.
#include <objbase.h>

// {3BFB40F5-E68A-4D96-9B5A-275054BB7C93}
struct IPelluxLive : public IUnknown {
    // The decode threads sleep in timed waits instead of waiting to be woken (for comparisons);
    // takes effect for the next connection.
    virtual HRESULT STDMETHODCALLTYPE SetWakeOnStop(BOOL on) = 0;
    // Appends a line of live-video figures to `path` every second while the view lives.
    virtual HRESULT STDMETHODCALLTYPE WriteFigures(LPCWSTR path) = 0;
    // Off: the live audio queue is not trimmed back towards its low-water mark (for comparisons).
    virtual HRESULT STDMETHODCALLTYPE SetAudioQueueTrim(BOOL on) = 0;
    // Off: the display stretches each picture with the system's halftone stretch under its lock
    // instead of scaling it outside (for comparisons).
    virtual HRESULT STDMETHODCALLTYPE SetScaleOutsideLock(BOOL on) = 0;
    // Every division zoomed by `factor` around its middle (1: none), for the zoom's cost.
    virtual HRESULT STDMETHODCALLTYPE SetZoomAll(double factor) = 0;
};
__CRT_UUID_DECL(IPelluxLive, 0x3bfb40f5, 0xe68a, 0x4d96, 0x9b, 0x5a, 0x27, 0x50, 0x54, 0xbb, 0x7c, 0x93)
