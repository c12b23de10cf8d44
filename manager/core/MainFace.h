#pragma once
// What the manager's main window writes over its background, as text and geometry: the chosen
// site's two lines and the help balloon's layout. No windows.h: the Win32 side draws what this
// computes.
#include <string>
#include <vector>

namespace manager {

// "ID : <user> " cut to 255 characters.
std::wstring IdLine(const std::wstring& userId);
// "IP : <address> "; a line of 23 characters or more keeps its first 20 and ends in "..."
// (23 characters), so an address of up to 16 characters is shown whole.
std::wstring IpLine(const std::wstring& address);

struct BalloonBox {
    int left, top, right, bottom;
};

// A help text laid out in a balloon: its lines (split at each CR LF pair), the box (enlarged for
// four lines or more: up by (n - 3) x 8, down by (n - 3) x 16) and the top of each line's
// 20-pixel band; text runs from left + 16 to right - 5.
struct BalloonLayout {
    std::vector<std::wstring> lines;
    BalloonBox box{};
    std::vector<int> lineTops;
    int textLeft = 0, textRight = 0;
    static constexpr int kLineHeight = 20;
};

BalloonLayout LayOutBalloon(const std::wstring& text, BalloonBox box);

} // namespace manager
