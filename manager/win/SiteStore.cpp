#include "SiteStore.h"

#include <algorithm>
#include <cwchar>

#include "SiteFile.h"

namespace sites {

namespace {

constexpr wchar_t kSetupSection[] = L"SETUP_INFO";

std::wstring SystemReason(DWORD code)
{
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                             DWORD(std::size(text)), nullptr);
    std::wstring reason(text, std::min<DWORD>(n, DWORD(std::size(text))));
    while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' '))
        reason.pop_back();
    return reason.empty() ? L"system error " + std::to_wstring(code) : reason;
}

std::string ToAnsi(const SiteChar* field, size_t units)
{
    const int length = int(wcsnlen(field, units));
    if (length == 0)
        return {};
    int bytes = WideCharToMultiByte(CP_ACP, 0, field, length, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(std::max(bytes, 0)), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, field, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

SiteText ToText(const SiteRecord& r)
{
    SiteText t;
    t.type = r.type;
    t.port = r.port;
    t.address = ToAnsi(r.address, kAddressUnits);
    t.location = ToAnsi(r.location, kTextUnits);
    t.ddnsMember = ToAnsi(r.ddnsMember, kTextUnits);
    t.ddnsName = ToAnsi(r.ddnsName, kTextUnits);
    t.userId = ToAnsi(r.userId, kTextUnits);
    t.password = ToAnsi(r.password, kTextUnits);
    return t;
}

// The numbers n of the file's "DVR<n>" sections, 1 <= n <= last, ascending, each once.
std::vector<int32_t> SiteSectionNumbers(const std::wstring& path, int32_t last)
{
    std::vector<wchar_t> names(4096);
    for (;;) {
        DWORD n = GetPrivateProfileSectionNamesW(names.data(), DWORD(names.size()), path.c_str());
        if (n + 2 < names.size() || names.size() >= (1u << 24))
            break;
        names.assign(names.size() * 4, L'\0');
    }
    std::vector<int32_t> numbers;
    for (const wchar_t* p = names.data(); p < names.data() + names.size() && *p; p += wcslen(p) + 1) {
        std::string narrow;
        for (const wchar_t* c = p; *c; ++c)
            narrow += *c < 0x80 ? char(*c) : '\x80';
        if (std::optional<int32_t> n = SiteSectionNumber(narrow); n && *n <= last)
            numbers.push_back(*n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

bool Fail(SaveFailure& failure, const std::wstring& path, DWORD code)
{
    failure.file = path;
    failure.code = code;
    failure.reason = SystemReason(code);
    return false;
}

bool SaveBytes(const std::wstring& path, const std::string& bytes, SaveFailure& failure)
{
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return Fail(failure, path, GetLastError());

    wchar_t temp[MAX_PATH + 16] = {};
    if (folder.size() >= MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"sit", 0, temp))
        return Fail(failure, path, folder.size() >= MAX_PATH - 14 ? ERROR_FILENAME_EXCED_RANGE : GetLastError());
    HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (!bytes.empty() && !WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr))
            error = GetLastError();
        else if (written != bytes.size())
            error = ERROR_HANDLE_DISK_FULL;
        else if (!FlushFileBuffers(file))
            error = GetLastError();
        CloseHandle(file);
    }
    // The platform refuses to replace a read-only file; say so the same way everywhere.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (error == ERROR_SUCCESS && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        error = ERROR_ACCESS_DENIED;
    if (error == ERROR_SUCCESS && !MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temp);
        return Fail(failure, path, error);
    }
    return true;
}

} // namespace

std::wstring SiteFilePath()
{
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, program.data(), DWORD(program.size()));
        if (n < program.size()) {
            program.resize(n);
            break;
        }
        program.resize(program.size() * 2);
    }
    const size_t slash = program.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);
    return folder + L"\\CONFIG\\H264Site.ini";
}

std::vector<SiteRecord> LoadSiteFile(const std::wstring& path)
{
    const wchar_t* file = path.c_str();
    const int32_t number = int32_t(GetPrivateProfileIntW(kSetupSection, L"NUMBER", 0, file));
    std::vector<SiteRecord> out;
    if (number <= 0)
        return out;
    for (int32_t n : SiteSectionNumbers(path, number)) {
        const std::wstring section = L"DVR" + std::to_wstring(n);
        const wchar_t* s = section.c_str();
        wchar_t address[65] = {};
        if (!GetPrivateProfileStringW(s, L"IP", L"", address, DWORD(std::size(address)), file) || !address[0])
            continue;
        SiteRecord r = {};
        r.size = kSiteRecordSize;
        wcsncpy(r.address, address, kAddressUnits - 1);
        GetPrivateProfileStringW(s, L"LOCATION", L"", r.location, kTextUnits, file);
        r.port = int32_t(GetPrivateProfileIntW(s, L"PORT", kDefaultPort, file));
        r.type = uint8_t(GetPrivateProfileIntW(s, L"TYPE", 0, file));
        GetPrivateProfileStringW(s, L"DDNS_MEMBER", L"", r.ddnsMember, kTextUnits, file);
        GetPrivateProfileStringW(s, L"DDNS_NAME", L"", r.ddnsName, kTextUnits, file);
        GetPrivateProfileStringW(s, L"ID", L"", r.userId, kTextUnits, file);
        GetPrivateProfileStringW(s, L"PWD", L"", r.password, kTextUnits, file);
        out.push_back(r);
    }
    return out;
}

bool SaveSiteFile(const std::wstring& path, std::span<const SiteRecord> sites, SaveFailure& failure)
{
    std::vector<SiteText> texts;
    texts.reserve(sites.size());
    for (const SiteRecord& r : sites)
        texts.push_back(ToText(r));
    return SaveBytes(path, WriteSiteFile(texts), failure);
}

bool SaveSiteFile(const std::wstring& path, std::span<const SiteRecord* const> sites, SaveFailure& failure)
{
    std::vector<SiteText> texts;
    texts.reserve(sites.size());
    for (const SiteRecord* r : sites)
        if (r)
            texts.push_back(ToText(*r));
    return SaveBytes(path, WriteSiteFile(texts), failure);
}

std::wstring SaveFailureText(const SaveFailure& failure)
{
    return L"The site list could not be saved to\n" + failure.file + L"\n\n" + failure.reason;
}

} // namespace sites
