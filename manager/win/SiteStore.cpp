#include "SiteStore.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <optional>

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

// The field in the ANSI code page; false when it holds a character the code page cannot hold, which
// the conversion would turn into "?" or a near letter.
bool ToAnsi(const SiteChar* field, size_t units, std::string& out)
{
    out.clear();
    const int length = int(wcsnlen(field, units));
    if (length == 0)
        return true;
    BOOL lossy = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, field, length, nullptr, 0, nullptr, &lossy);
    if (bytes <= 0 || lossy)
        return false;
    out.assign(size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, field, length, out.data(), bytes, nullptr, &lossy);
    std::wstring back(size_t(length), L'\0');
    const int chars = MultiByteToWideChar(CP_ACP, 0, out.data(), bytes, back.data(), length);
    return !lossy && chars == length && back.compare(0, size_t(length), field, size_t(length)) == 0;
}

// The key of the first field of `r` that the code page cannot hold, or nullptr when all fit.
const wchar_t* ToText(const SiteRecord& r, SiteText& t)
{
    t.type = r.type;
    t.port = r.port;
    const struct {
        const wchar_t* key;
        const SiteChar* field;
        size_t units;
        std::string* text;
    } fields[] = {{L"IP", r.address, kAddressUnits, &t.address},
                  {L"LOCATION", r.location, kTextUnits, &t.location},
                  {L"DDNS_MEMBER", r.ddnsMember, kTextUnits, &t.ddnsMember},
                  {L"DDNS_NAME", r.ddnsName, kTextUnits, &t.ddnsName},
                  {L"ID", r.userId, kTextUnits, &t.userId},
                  {L"PWD", r.password, kTextUnits, &t.password}};
    for (const auto& f : fields)
        if (!ToAnsi(f.field, f.units, *f.text))
            return f.key;
    return nullptr;
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
        // Read wider than the fields and cut: the platform drops the last character of a quoted
        // value that just fills the buffer.
        wchar_t text[65] = {};
        const auto field = [&](const wchar_t* key, SiteChar* target, size_t units) {
            text[0] = L'\0';
            GetPrivateProfileStringW(s, key, L"", text, DWORD(std::size(text)), file);
            wcsncpy(target, text, units - 1);
        };
        SiteRecord r = {};
        field(L"IP", r.address, kAddressUnits);
        if (!r.address[0])
            continue;
        r.size = kSiteRecordSize;
        field(L"LOCATION", r.location, kTextUnits);
        r.port = int32_t(GetPrivateProfileIntW(s, L"PORT", kDefaultPort, file));
        r.type = uint8_t(GetPrivateProfileIntW(s, L"TYPE", 0, file));
        field(L"DDNS_MEMBER", r.ddnsMember, kTextUnits);
        field(L"DDNS_NAME", r.ddnsName, kTextUnits);
        field(L"ID", r.userId, kTextUnits);
        field(L"PWD", r.password, kTextUnits);
        out.push_back(r);
    }
    return out;
}

bool SaveSiteFile(const std::wstring& path, std::span<const SiteRecord* const> sites, SaveFailure& failure)
{
    // A field the file cannot hold is refused before anything is written: the old file stays.
    const auto refuse = [&](size_t site, const std::wstring& key, const wchar_t* what) {
        failure.file = path;
        failure.code = ERROR_INVALID_DATA;
        failure.reason = L"site " + std::to_wstring(site + 1) + L", " + key + L": " + what;
        return false;
    };
    std::vector<SiteText> texts;
    texts.reserve(sites.size());
    for (const SiteRecord* r : sites) {
        if (!r)
            continue;
        texts.emplace_back();
        if (const wchar_t* key = ToText(*r, texts.back()))
            return refuse(texts.size() - 1, key, L"a character that this system's code page cannot hold");
    }
    const std::optional<std::string> bytes = WriteSiteFile(texts);
    if (!bytes) {
        const UnwritableField bad = *FindUnwritableField(texts);
        return refuse(bad.site, std::wstring(bad.key, bad.key + strlen(bad.key)), L"a line break or NUL character");
    }
    return SaveBytes(path, *bytes, failure);
}

bool SaveSiteFile(const std::wstring& path, std::span<const SiteRecord> sites, SaveFailure& failure)
{
    std::vector<const SiteRecord*> pointers;
    pointers.reserve(sites.size());
    for (const SiteRecord& r : sites)
        pointers.push_back(&r);
    return SaveSiteFile(path, pointers, failure);
}

std::wstring SaveFailureText(const SaveFailure& failure)
{
    return L"The site list could not be saved to\n" + failure.file + L"\n\n" + failure.reason;
}

} // namespace sites
