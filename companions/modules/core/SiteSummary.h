#pragma once
// What the remote-setup control shows of the site the manager handed it: the DVR's address and
// port, the user, and the modules that user may open (the manager's rights table). Neutral.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modules {

struct SummaryLine {
    std::wstring label, value;
};

// Values come from a container and are not trusted: control characters become blanks and a value
// is cut at kMaxValueChars. A port of 0 is the DVR's default; one above 65535 is shown as not valid.
constexpr size_t kMaxValueChars = 259;
std::vector<SummaryLine> SiteSummary(std::wstring_view address, std::optional<uint32_t> port, std::wstring_view user);

} // namespace modules
