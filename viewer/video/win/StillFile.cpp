#include "StillFile.h"
#include "foundation/ComPtr.h"
#include "foundation/Trace.h"
#include <commdlg.h>
#include <shlobj.h>
#include <wincodec.h>
#include <cwchar>
#include <cwctype>

namespace video {

namespace {

std::wstring PicturesFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return path;
    return {};
}

bool EndsWithBmp(const std::wstring& path)
{
    if (path.size() < 4)
        return false;
    std::wstring tail = path.substr(path.size() - 4);
    for (wchar_t& c : tail)
        c = static_cast<wchar_t>(std::towlower(c));
    return tail == L".bmp";
}

} // namespace

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

StillSaved SaveStillAs(HWND owner, int camera, const DisplayManager::Still& still, std::wstring* path)
{
    const std::wstring folder = PicturesFolder();
    wchar_t file[MAX_PATH] = {};
    const std::wstring proposed = StillFileName(camera, still.time);
    proposed.copy(file, MAX_PATH - 1);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = L"PNG (*.png)\0*.png\0BMP (*.bmp)\0*.bmp\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = L"png";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    StillSaved result = StillSaved::kCancelled;
    if (GetSaveFileNameW(&ofn)) {
        *path = file;
        const bool bmp = ofn.nFilterIndex == 2 || EndsWithBmp(*path);
        const HRESULT hr = WriteStillFile(*path, bmp, still.width, still.height, still.stride, still.bgr.data());
        if (SUCCEEDED(hr)) {
            result = StillSaved::kSaved;
        } else {
            win::Trace(L"===>>> still not written: 0x%08lX\n", static_cast<unsigned long>(hr));
            result = StillSaved::kFailed;
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

} // namespace video
