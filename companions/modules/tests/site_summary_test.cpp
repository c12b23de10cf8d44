// The remote-setup control's summary of the site it was handed: rights by the manager's table,
// the DVR's default port, and hostile values made safe to draw.
#include "SiteSummary.h"
#include <gtest/gtest.h>

using modules::SiteSummary;

namespace {

std::wstring Value(const std::vector<modules::SummaryLine>& lines, const wchar_t* label)
{
    for (const auto& l : lines)
        if (l.label == label)
            return l.value;
    return L"(no line)";
}

TEST(SiteSummary, RightsFollowTheManagersTableAndPortZeroIsTheDefault)
{
    const struct {
        const wchar_t* user;
        const wchar_t* rights;
    } rows[] = {
        {L"Admin", L"viewer, player, search, backup, remote setup, NVS client"},
        {L"manager", L"viewer, player, search, backup, NVS client"},
        {L"guest", L"viewer, player"},
        {L"\x0430" L"dmin", L"viewer, player"}, // a Cyrillic a is not the administrator
        {L"", L"-"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.rights, Value(SiteSummary(L"10.1.2.3", 8000u, r.user), L"Modules allowed")) << r.user;

    auto lines = SiteSummary(L"dvr.example", 0u, L"admin");
    EXPECT_EQ(L"dvr.example", Value(lines, L"DVR address"));
    EXPECT_EQ(L"50000 (default)", Value(lines, L"Port"));
    EXPECT_EQ(L"admin", Value(lines, L"User"));
    EXPECT_EQ(L"-", Value(SiteSummary(L"", std::nullopt, L""), L"Port"));
    EXPECT_EQ(L"not valid (70000)", Value(SiteSummary(L"a", 70000u, L""), L"Port"));
}

TEST(SiteSummary, ControlCharactersBecomeBlanksAndLongValuesAreCut)
{
    auto lines = SiteSummary(L"Gate\r[DVR2]\nIP=6.6.6.6\t\x7f", 1u, std::wstring(5000, L'u'));
    EXPECT_EQ(L"Gate [DVR2] IP=6.6.6.6  ", Value(lines, L"DVR address"));
    const std::wstring user = Value(lines, L"User");
    EXPECT_EQ(modules::kMaxValueChars + 3, user.size());
    EXPECT_EQ(L"...", user.substr(user.size() - 3));
    EXPECT_EQ(L"viewer, player", Value(lines, L"Modules allowed"));
}

} // namespace
