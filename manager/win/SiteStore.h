#pragma once
// The manager's site list on disk: CONFIG\H264Site.ini beside the program, read through the
// platform's profile functions and saved with the site file's exact bytes. A save never leaves a
// half-written file: the new file is written and flushed beside the old one and then replaces it.
#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "sites/SiteRecord.h"

namespace sites {

// "<program folder>\CONFIG\H264Site.ini"
std::wstring SiteFilePath();

// The sites of the file in section order (a missing file gives none); every record has size 432.
std::vector<SiteRecord> LoadSiteFile(const std::wstring& path);

struct SaveFailure {
    std::wstring file; // the site file
    DWORD code = 0; // the system's error code
    std::wstring reason; // the system's text for it
};

// Writes every site, numbered from 1 in order, creating the file's folder when missing. On failure
// the old file is left as it was and `failure` says what went wrong.
bool SaveSiteFile(const std::wstring& path, std::span<const SiteRecord> sites, SaveFailure& failure);
bool SaveSiteFile(const std::wstring& path, std::span<const SiteRecord* const> sites, SaveFailure& failure);

// A message box text naming the file and the reason.
std::wstring SaveFailureText(const SaveFailure& failure);

} // namespace sites
