// Screenshots of the display: every layout with 16 test-card channels and all texts on, read back from
// the screen and written as BMP files into the folder given (default: the current one).
//   display_shots.exe [FOLDER [HOLD_MS]]   HOLD_MS: afterwards keep layout 4 on screen that long, for
//                                           an outside screenshot of the X display
#include "DisplayTestKit.h"
#include <cstdio>
#include <string>

using namespace video;
using namespace displaykit;

namespace {

bool WriteBmp(const std::wstring& path, const WindowPixels& px)
{
    const int w = px.Width(), h = px.Height();
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = -h;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(w * h * 4);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    bool ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&ih, sizeof ih, 1, f) == 1 &&
        fwrite(px.Raw().data(), ih.biSizeImage, 1, f) == 1;
    return fclose(f) == 0 && ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring folder = argc > 1 ? argv[1] : L".";
    const int w = 704, h = 480;
    Host host(w, h);
    DisplayManager dm;
    if (!OpenSixteenTitledChannels(host, dm, w, h))
        return 1;
    dm.SetFillLevel(0);
    Picture cards[16];
    for (int c = 0; c < 16; ++c)
        cards[c] = TestCard(704, 480, c);
    uint8_t list[kDisplayChannels];
    for (int i = 0; i < kDisplayChannels; ++i)
        list[i] = static_cast<uint8_t>(i);

    int failures = 0;
    for (int layout = 0; layout < kLayoutCount; ++layout) {
        dm.SetLayout(layout, list, kDisplayChannels);
        for (int c = 0; c < 16; ++c) {
            const PictureTime t{.year = 2008, .month = 7, .day = 1, .hour = 13, .second = static_cast<uint16_t>(c)};
            dm.SetChannelPicture(c, &cards[c].info, t, cards[c].pixels.data());
        }
        Host::Pump(150);
        WindowPixels screen;
        screen.Capture(nullptr); // the whole screen as the X server shows it
        WindowPixels shot;
        shot.Capture(dm.Window());
        // Keep the screen's pixels of the window's place: they are what a user sees.
        WindowPixels* use = &shot;
        if (screen.Width() >= w && screen.Height() >= h) {
            int differ = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    differ += screen.At(x, y) != shot.At(x, y);
            std::wprintf(L"layout %2d: %d pixels differ between screen and window\n", layout, differ);
        }
        wchar_t name[64];
        swprintf(name, 64, L"\\display-layout-%02d.bmp", layout);
        if (!WriteBmp(folder + name, *use)) {
            std::wprintf(L"could not write %ls%ls\n", folder.c_str(), name);
            failures++;
        }
    }
    if (argc > 2) {
        dm.SetLayout(4, list, kDisplayChannels);
        for (int c = 0; c < 16; ++c)
            dm.SetChannelPicture(c, &cards[c].info, cards[c].pixels.data());
        std::wprintf(L"holding layout 4\n");
        std::fflush(stdout);
        Host::Pump(static_cast<DWORD>(_wtoi(argv[2])));
    }
    return failures ? 1 : 0;
}
