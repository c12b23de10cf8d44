#include "Layout.h"
#include "Format.h"
#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace store {

namespace {
std::filesystem::path PathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
} // namespace

std::string JoinPath(const std::string& a, const std::string& b)
{
    if (a.empty())
        return b;
    const char last = a.back();
    return (last == '/' || last == '\\') ? a + b : a + "/" + b;
}

std::string IndexPathOf(const std::string& segmentPath)
{
    return segmentPath.substr(0, segmentPath.size() - 4) + ".idx";
}

std::string DayFolderName(uint32_t day)
{
    char name[16];
    std::snprintf(name, sizeof name, "%08u", day);
    return name;
}

std::vector<std::string> ListNames(const std::string& folder, bool folders)
{
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(PathOf(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        const bool isFolder = it->is_directory(sec);
        if (sec || isFolder != folders || (!folders && !it->is_regular_file(sec)))
            continue;
        const std::u8string n = it->path().filename().u8string();
        names.emplace_back(n.begin(), n.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint32_t> ListDays(const std::string& siteFolder)
{
    std::vector<uint32_t> days;
    for (const std::string& n : ListNames(siteFolder, true)) {
        if (n.size() != 8 || n.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const uint32_t day = static_cast<uint32_t>(std::stoul(n));
        int64_t ms = 0;
        if (DayStartMs(day, &ms))
            days.push_back(day);
    }
    return days;
}

std::vector<SegmentRef> ListSegments(const std::string& siteFolder, uint32_t day, int stream)
{
    std::vector<SegmentRef> out;
    const std::string folder = JoinPath(JoinPath(siteFolder, DayFolderName(day)), StreamFolderName(stream));
    for (const std::string& n : ListNames(folder, false)) {
        SegmentRef r;
        if (!ParseSegmentFileName(n, &r.startMs))
            continue;
        r.path = JoinPath(folder, n);
        r.stream = stream;
        r.day = day;
        out.push_back(std::move(r));
    }
    std::stable_sort(out.begin(), out.end(), [](const SegmentRef& a, const SegmentRef& b) {
        return a.startMs < b.startMs;
    });
    return out;
}

} // namespace store
