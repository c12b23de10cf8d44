#include "SiteFile.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "ProfileText.h"

namespace sites {

namespace {

constexpr size_t kAddressChars = kAddressUnits - 1;
constexpr size_t kReadUnits = 65; // a few more than the widest field, as the manager reads

struct Candidate {
    int32_t number;
    const ProfileText::Section* section;
};

} // namespace

std::optional<int32_t> SiteSectionNumber(std::string_view name)
{
    if (name.size() < 4 || name.size() > 13 || !SameName(name.substr(0, 3), "DVR") || name[3] == '0')
        return std::nullopt;
    int64_t n = 0;
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n > INT32_MAX)
        return std::nullopt;
    return int32_t(n);
}

SiteFileContents ReadSiteFile(std::string_view bytes)
{
    const ProfileText profile(bytes);
    const int32_t number = profile.Int("SETUP_INFO", "NUMBER", 0);
    SiteFileContents out;
    std::vector<Candidate> candidates;
    std::unordered_set<int32_t> seen;
    bool setupSeen = false;
    // The manager asks for DVR1 to DVR<NUMBER> one by one; walking the sections that exist gives the
    // same sites without a pass per number, which a huge NUMBER would make endless.
    for (const ProfileText::Section& s : profile.Sections()) {
        const std::optional<int32_t> n = SiteSectionNumber(s.name);
        if (!n) {
            if (s.name.empty())
                out.skipped.push_back({s.name, "lines before the first section are not read"});
            else if (!SameName(s.name, "SETUP_INFO"))
                out.skipped.push_back({s.name, "not a site section (DVR1, DVR2, ...)"});
            else if (setupSeen)
                out.skipped.push_back({s.name, "a second section of that name: only the first is read"});
            else
                setupSeen = true;
        } else if (*n > number) {
            out.skipped.push_back({s.name, "beyond the NUMBER of SETUP_INFO (" + std::to_string(number) + ")"});
        } else if (!seen.insert(*n).second) {
            out.skipped.push_back({s.name, "a second section of that name: only the first is read"});
        } else {
            candidates.push_back({*n, &s});
        }
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.number < b.number; });

    for (const Candidate& c : candidates) {
        const ProfileText::Section& section = *c.section;
        SiteText site;
        // Read wider than the fields and cut: a quoted value that just fills its field keeps its
        // last character (see ProfileText::String).
        const auto field = [&](const char* key, size_t chars) {
            return ProfileText::String(section, key, "", kReadUnits).substr(0, chars);
        };
        site.address = field("IP", kAddressChars);
        if (site.address.empty()) {
            out.skipped.push_back({section.name, "no address (IP)"});
            continue;
        }
        site.location = field("LOCATION", kTextUnits - 1);
        site.port = ProfileText::Int(section, "PORT", kDefaultPort);
        site.type = uint8_t(ProfileText::Int(section, "TYPE", 0));
        site.ddnsMember = field("DDNS_MEMBER", kTextUnits - 1);
        site.ddnsName = field("DDNS_NAME", kTextUnits - 1);
        site.userId = field("ID", kTextUnits - 1);
        site.password = field("PWD", kTextUnits - 1);
        out.sites.push_back(std::move(site));
    }
    return out;
}

std::optional<UnwritableField> FindUnwritableField(std::span<const SiteText> sites)
{
    for (size_t i = 0; i < sites.size(); ++i) {
        const SiteText& s = sites[i];
        const std::pair<const char*, const std::string*> fields[] = {
            {"IP", &s.address},      {"ID", &s.userId},           {"PWD", &s.password},
            {"DDNS_MEMBER", &s.ddnsMember}, {"DDNS_NAME", &s.ddnsName}, {"LOCATION", &s.location}};
        for (const auto& [key, text] : fields)
            if (text->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
                return UnwritableField{i, key};
    }
    return std::nullopt;
}

std::optional<std::string> WriteSiteFile(std::span<const SiteText> sites)
{
    if (FindUnwritableField(sites))
        return std::nullopt;
    std::string out = "[SETUP_INFO]\r\nNUMBER=" + std::to_string(sites.size() + 1) + "\r\n";
    int number = 1;
    for (const SiteText& s : sites) {
        out += "\r\n[DVR" + std::to_string(number++) + "]\r\n";
        out += "TYPE=" + std::to_string(s.type) + "\r\n";
        out += "IP=" + s.address + "\r\n";
        out += "PORT=" + std::to_string(s.port) + "\r\n";
        out += "ID=" + s.userId + "\r\n";
        out += "PWD=" + s.password + "\r\n";
        out += "DDNS_MEMBER=" + s.ddnsMember + "\r\n";
        out += "DDNS_NAME=" + s.ddnsName + "\r\n";
        out += "LOCATION=" + s.location + "    \r\n";
    }
    return out;
}

} // namespace sites
