#include "Ellipsis.h"

namespace manager {

namespace {

// The longest start of `text` that fits in `room` with `tail` after it (widths grow with length,
// so a binary search finds it). A cut never splits a surrogate pair.
size_t LongestStart(std::wstring_view text, std::wstring_view tail, int room,
                    const std::function<int(std::wstring_view)>& width)
{
    size_t low = 0, high = text.size(); // the answer lies in [low, high]
    std::wstring probe;
    while (low < high) {
        const size_t mid = low + (high - low + 1) / 2;
        probe.assign(text.substr(0, mid));
        probe.append(tail);
        if (width(probe) <= room)
            low = mid;
        else
            high = mid - 1;
    }
    if (low > 0 && low < text.size() && text[low - 1] >= 0xD800 && text[low - 1] <= 0xDBFF)
        --low;
    return low;
}

} // namespace

std::wstring FitText(std::wstring_view text, int room, const std::function<int(std::wstring_view)>& width)
{
    if (text.empty() || width(text) <= room)
        return std::wstring(text);
    size_t keep = LongestStart(text, L"...", room, width);
    std::wstring_view tail = L"...";
    if (keep < 2) {
        tail = L"..";
        keep = LongestStart(text, tail, room, width);
    }
    std::wstring out(text.substr(0, keep));
    out.append(tail);
    return out;
}

} // namespace manager
