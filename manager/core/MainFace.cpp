#include "MainFace.h"

namespace manager {

std::wstring IdLine(const std::wstring& userId)
{
    std::wstring line = L"ID : " + userId.substr(0, userId.find(L'\0')) + L" ";
    if (line.size() > 255)
        line.resize(255);
    return line;
}

std::wstring IpLine(const std::wstring& address)
{
    std::wstring line = L"IP : " + address.substr(0, address.find(L'\0')) + L" ";
    if (line.size() >= 23)
        line = line.substr(0, 20) + L"...";
    return line;
}

BalloonLayout LayOutBalloon(const std::wstring& text, BalloonBox box)
{
    BalloonLayout out;
    for (size_t start = 0;;) {
        const size_t brk = text.find(L"\r\n", start);
        out.lines.push_back(text.substr(start, brk == std::wstring::npos ? std::wstring::npos : brk - start));
        if (brk == std::wstring::npos)
            break;
        start = brk + 2;
    }
    const int n = static_cast<int>(out.lines.size());
    if (n >= 4) {
        box.top -= (n - 3) * 8;
        box.bottom += (n - 3) * 16;
    }
    out.box = box;
    const int h = box.bottom - box.top;
    int top;
    switch (n) {
    case 1: top = box.top + h / 2 - 10; break;
    case 2: top = box.top + h / 3 - 10; break;
    case 3: top = box.top + h / 4 - 10; break;
    default: top = box.top - n + 16; break;
    }
    const int step = n == 2 ? 40 : 30;
    for (int i = 0; i < n; ++i)
        out.lineTops.push_back(top + i * step);
    out.textLeft = box.left + 16;
    out.textRight = box.right - 5;
    return out;
}

} // namespace manager
