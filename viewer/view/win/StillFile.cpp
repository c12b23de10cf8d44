#include "StillFile.h"
#include "foundation/ComPtr.h"
#include <wincodec.h>
#include <cwchar>

namespace view {

std::wstring StillFileName(int camera, const video::PictureTime& t)
{
    unsigned year = t.year, month = t.month, day = t.day, hour = t.hour, minute = t.minute, second = t.second;
    if (year == 0 || month == 0 || month > 12 || day == 0 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        year = now.wYear, month = now.wMonth, day = now.wDay;
        hour = now.wHour, minute = now.wMinute, second = now.wSecond;
    }
    wchar_t name[64];
    _snwprintf(name, 64, L"CAM%02d %04u-%02u-%02u %02u-%02u-%02u.png", camera, year, month, day, hour, minute, second);
    name[63] = 0;
    return name;
}

HRESULT WriteStillFile(const std::wstring& path, bool bmp, int width, int height, size_t stride, const uint8_t* bgr)
{
    if (width <= 0 || height <= 0 || !bgr || stride < static_cast<size_t>(width) * 3 || stride > UINT_MAX / height)
        return E_INVALIDARG;
    // Written beside the target first, so that a failed write leaves no half file under its name.
    const std::wstring part = path + L".part";
    HRESULT hr = [&]() -> HRESULT {
        win::ComPtr<IWICImagingFactory> factory;
        HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory.Put()));
        win::ComPtr<IWICStream> stream;
        if (SUCCEEDED(hr))
            hr = factory->CreateStream(stream.Put());
        if (SUCCEEDED(hr))
            hr = stream->InitializeFromFilename(part.c_str(), GENERIC_WRITE);
        win::ComPtr<IWICBitmapEncoder> encoder;
        if (SUCCEEDED(hr))
            hr =
                factory->CreateEncoder(bmp ? GUID_ContainerFormatBmp : GUID_ContainerFormatPng, nullptr, encoder.Put());
        if (SUCCEEDED(hr))
            hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
        win::ComPtr<IWICBitmapFrameEncode> frame;
        if (SUCCEEDED(hr))
            hr = encoder->CreateNewFrame(frame.Put(), nullptr);
        if (SUCCEEDED(hr))
            hr = frame->Initialize(nullptr);
        if (SUCCEEDED(hr))
            hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        if (SUCCEEDED(hr))
            hr = frame->SetPixelFormat(&format);
        if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
            hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
        if (SUCCEEDED(hr))
            hr = frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(stride),
                                    static_cast<UINT>(stride * height), const_cast<BYTE*>(bgr));
        if (SUCCEEDED(hr))
            hr = frame->Commit();
        if (SUCCEEDED(hr))
            hr = encoder->Commit();
        return hr;
    }();
    if (SUCCEEDED(hr) && !MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        hr = HRESULT_FROM_WIN32(GetLastError());
    if (FAILED(hr))
        DeleteFileW(part.c_str());
    return hr;
}

} // namespace view
