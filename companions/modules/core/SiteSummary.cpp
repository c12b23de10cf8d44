#include "SiteSummary.h"
#include "LoginCheck.h"

namespace modules {

namespace {

std::wstring Shown(std::wstring_view text)
{
    std::wstring out(text.substr(0, kMaxValueChars));
    for (wchar_t& c : out)
        if (c < 0x20 || c == 0x7F)
            c = L' ';
    if (out.size() < text.size())
        out += L"...";
    return out;
}

// The rights table compares A-Z without case: any other character can only make the ID differ.
std::string RightsKey(std::wstring_view user)
{
    std::string key;
    for (wchar_t c : user.substr(0, kMaxValueChars))
        key += c < 0x80 ? static_cast<char>(c) : '?';
    return key;
}

} // namespace

std::vector<SummaryLine> SiteSummary(std::wstring_view address, std::optional<uint32_t> port, std::wstring_view user)
{
    const std::wstring none = L"-";
    std::vector<SummaryLine> lines;
    lines.push_back({L"DVR address", address.empty() ? none : Shown(address)});
    std::wstring portText = none;
    if (port && *port <= 65535)
        portText = std::to_wstring(login::EffectivePort(static_cast<int>(*port))) + (*port == 0 ? L" (default)" : L"");
    else if (port)
        portText = L"not valid (" + std::to_wstring(*port) + L")";
    lines.push_back({L"Port", portText});
    lines.push_back({L"User", user.empty() ? none : Shown(user)});
    std::wstring rights = none;
    if (!user.empty()) {
        const login::ButtonRights r = login::RightsOfAcceptedUser(RightsKey(user));
        rights.clear();
        const std::pair<bool, const wchar_t*> modules[] = {{r.viewer, L"viewer"},
                                                           {true, L"player"}, // never forbidden
                                                           {r.search, L"search"},
                                                           {r.backup, L"backup"},
                                                           {r.remoteSetup, L"remote setup"},
                                                           {r.nvsClient, L"NVS client"}};
        for (const auto& [allowed, name] : modules)
            if (allowed)
                rights += (rights.empty() ? L"" : L", ") + std::wstring(name);
    }
    lines.push_back({L"Modules allowed", rights});
    return lines;
}

} // namespace modules
