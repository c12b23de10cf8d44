#pragma once
// The manager's site file (CONFIG\H264Site.ini): its exact bytes as the manager writes them, and
// what the manager loads from a file, with the reasons for every section it passes over. Text stays
// in the file's ANSI code page; the caller converts.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sites/SiteRecord.h"

namespace sites {

// One site with its text as bytes of the file's code page.
struct SiteText {
    uint8_t type = 0;
    int32_t port = kDefaultPort;
    std::string address, location, ddnsMember, ddnsName, userId, password;
    bool operator==(const SiteText&) const = default;
};

struct SkippedSection {
    std::string section; // the name as it stands in the file
    std::string reason;
};

struct SiteFileContents {
    std::vector<SiteText> sites; // in the order of their section numbers
    std::vector<SkippedSection> skipped;
};

// The sites the manager loads: sections "DVR1" to "DVR<NUMBER>" that have an address, each field
// cut to its width (address 59 characters, the others 29).
SiteFileContents ReadSiteFile(std::string_view bytes);

// Where a site's text cannot go into the file: the first site (counted from 0) and the key of its
// first field (IP, LOCATION, ID, ...) that holds a line break or a NUL. A line break would start a
// line of its own there, read back as another key or another site's section; a NUL cuts the value.
struct UnwritableField {
    size_t site;
    const char* key;
};
std::optional<UnwritableField> FindUnwritableField(std::span<const SiteText> sites);

// The whole file: SETUP_INFO with NUMBER = sites + 1, then the sites as DVR1, DVR2, ... in order,
// CR LF line ends, four blanks before the LOCATION line's end. Nothing when FindUnwritableField
// finds a field the file cannot hold.
std::optional<std::string> WriteSiteFile(std::span<const SiteText> sites);

// n for a section named "DVR<n>" (any case, n from 1 without leading zeros): the name the manager
// asks for when it reads site n.
std::optional<int32_t> SiteSectionNumber(std::string_view name);

} // namespace sites
