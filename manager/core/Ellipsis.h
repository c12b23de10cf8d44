#pragma once
// A cell text cut to a width: the longest start of the text that fits with "..." after it, or with
// ".." when fewer than two characters would remain before "...".
#include <functional>
#include <string>
#include <string_view>

namespace manager {

// Widths in whatever unit `width` measures (pixels of a font). A text that fits is returned whole.
// When not even ".." fits, ".." is still returned: the caller clips the drawing to its cell.
std::wstring FitText(std::wstring_view text, int room, const std::function<int(std::wstring_view)>& width);

} // namespace manager
