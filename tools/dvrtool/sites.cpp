// dvrtool sites list|add|remove: the manager's site file (CONFIG\H264Site.ini) from a shell, read
// and written exactly as the manager does. The file's text is in the ANSI code page of the computer
// that runs the manager, Windows-1252 unless --code-page says otherwise; the shell's is UTF-8.
#include "Command.h"
#include "SiteFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage = "usage: dvrtool sites list FILE [--code-page CP]\n"
                           "       dvrtool sites add FILE --address A --port N --user ID --password PW "
                           "[--location TEXT] [--code-page CP]\n"
                           "       dvrtool sites remove FILE NUMBER [--code-page CP]\n"
                           "The file's text is in the code page CP of the computer that runs the manager "
                           "(1252, Windows-1252, by default; 1250, 1251, ... or another name iconv knows).";

[[noreturn]] void Usage(const std::string& problem) { dvrtool::Fail(problem + "\n" + kUsage, 2); }

// Code points of Windows-1252's bytes 0x80 to 0x9F (the five unassigned ones stand for themselves,
// as the platform maps them); the other bytes are Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

void AppendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// The code page of the file's text: Windows-1252 from the table above, any other through iconv.
class CodePage {
public:
    // False when the system knows no code page of that name.
    bool Open(const std::string& name)
    {
        std::string lower;
        for (char c : name)
            lower += char(std::tolower(static_cast<unsigned char>(c)));
        name_ = name;
        if (lower == "1252" || lower == "cp1252" || lower == "windows-1252") {
            name_ = "Windows-1252";
            return true;
        }
        iconvName_ = lower.find_first_not_of("0123456789") == std::string::npos ? "CP" + lower : name;
        iconv_t probe = iconv_open("UTF-8", iconvName_.c_str());
        if (probe == iconv_t(-1))
            return false;
        iconv_close(probe);
        return true;
    }
    const std::string& Name() const { return name_; }

    std::string ToUtf8(const std::string& ansi) const
    {
        std::string out;
        if (iconvName_.empty()) {
            for (unsigned char b : ansi)
                AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
            return out;
        }
        // A byte the code page does not define shows as U+FFFD.
        for (size_t i = 0; i < ansi.size();) {
            std::string piece;
            size_t used = Convert(iconvName_.c_str(), "UTF-8", ansi.substr(i), piece);
            out += piece;
            i += used;
            if (i < ansi.size()) {
                out += "\xEF\xBF\xBD";
                ++i;
            }
        }
        return out;
    }

    // The code page's bytes of UTF-8 text; false when it is not UTF-8 or holds a character the code
    // page lacks.
    bool ToAnsi(const std::string& utf8, std::string& out) const
    {
        out.clear();
        if (!iconvName_.empty()) // exact or nothing: what comes back must be what went in
            return Convert("UTF-8", iconvName_.c_str(), utf8, out) == utf8.size() && ToUtf8(out) == utf8;
        for (size_t i = 0; i < utf8.size();) {
            const unsigned char b = utf8[i];
            const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
            if (extra < 0 || i + size_t(extra) >= utf8.size())
                return false;
            unsigned cp = extra == 0 ? b : b & (0x3F >> extra);
            for (int k = 1; k <= extra; ++k) {
                const unsigned char c = utf8[i + size_t(k)];
                if ((c & 0xC0) != 0x80)
                    return false;
                cp = cp << 6 | (c & 0x3F);
            }
            i += size_t(extra) + 1;
            if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
                out += char(cp);
                continue;
            }
            const char16_t* hit = std::find(std::begin(kHigh), std::end(kHigh), char16_t(cp));
            if (cp > 0xFFFF || hit == std::end(kHigh))
                return false;
            out += char(0x80 + (hit - kHigh));
        }
        return true;
    }

private:
    // Converts until the first character that cannot be converted; how many input bytes went.
    static size_t Convert(const char* from, const char* to, const std::string& in, std::string& out)
    {
        iconv_t cd = iconv_open(to, from);
        if (cd == iconv_t(-1))
            return 0;
        std::string buffer(in.size() * 4 + 16, '\0');
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = buffer.data();
        size_t dstLeft = buffer.size();
        iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        iconv_close(cd);
        out.assign(buffer.data(), buffer.size() - dstLeft);
        return in.size() - srcLeft;
    }

    std::string name_ = "Windows-1252";
    std::string iconvName_; // empty: the table above
};

CodePage codePage;

std::string ToUtf8(const std::string& ansi) { return codePage.ToUtf8(ansi); }
bool ToAnsi(const std::string& utf8, std::string& out) { return codePage.ToAnsi(utf8, out); }

// UTF-16 text (after its byte order mark) as UTF-8; false on a broken surrogate pair.
bool Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& out)
{
    out.clear();
    const auto unit = [&](size_t i) {
        const unsigned a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? a << 8 | b : b << 8 | a;
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00) {
            if (i + 3 >= bytes.size() || unit(i + 2) < 0xDC00 || unit(i + 2) >= 0xE000)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xDC00 && cp < 0xE000) {
            return false;
        }
        AppendUtf8(out, cp);
    }
    return bytes.size() % 2 == 0;
}

// The file's bytes; false when it does not exist.
bool ReadBytes(const std::string& path, std::string& bytes)
{
    std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!in) {
        if (errno == ENOENT)
            return false;
        dvrtool::Fail("cannot read " + path + ": " + std::strerror(errno));
    }
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(in.get()))
        dvrtool::Fail("cannot read " + path + ": " + std::strerror(errno));
    return true;
}

// Replaces the file in one step: the new bytes go to a file beside it, reach the disk, and are
// renamed over the old one, which stays whole when anything fails.
void ReplaceFile(const std::string& path, const std::string& bytes)
{
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        dvrtool::Fail("cannot write beside " + path + ": " + std::strerror(errno));
    struct stat old;
    mode_t mode = 0;
    if (stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    size_t done = 0;
    errno = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    const int error = done < bytes.size() ? (errno ? errno : ENOSPC) : fchmod(fd, mode) || fsync(fd) ? errno : 0;
    if (close(fd) != 0 || error || rename(temp.c_str(), path.c_str()) != 0) {
        const int why = error ? error : errno;
        unlink(temp.c_str());
        dvrtool::Fail("cannot save " + path + ": " + std::strerror(why));
    }
}

struct SitesArgs {
    std::string file, number, address, port, user, password, location, codePage = "1252";
};

// The file's text in the code page. A file saved as UTF-16 or as UTF-8 with its byte order mark
// (the platform's profile reader reads both) is taken in as the code page's bytes, and is written
// back in the code page as the manager writes it; one holding a character the code page lacks is
// refused, and the file stays as it was.
std::string CodePageText(const std::string& file, const std::string& bytes)
{
    std::string utf8;
    const char* kind = nullptr;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        kind = "UTF-16";
        if (!Utf16ToUtf8(std::string_view(bytes).substr(2), bytes[0] == '\xFE', utf8))
            dvrtool::Fail(file + " is not readable UTF-16 text; it stays as it was");
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        kind = "UTF-8";
        utf8 = bytes.substr(3);
    } else {
        return bytes;
    }
    std::string ansi;
    if (!ToAnsi(utf8, ansi))
        dvrtool::Fail(file + " is " + kind + " text holding a character that " + codePage.Name() +
                      " cannot hold (--code-page); it stays as it was");
    return ansi;
}

sites::SiteFileContents Load(const std::string& file, bool mustExist)
{
    std::string bytes;
    if (!ReadBytes(file, bytes)) {
        if (mustExist)
            dvrtool::Fail("cannot read " + file + ": " + std::strerror(ENOENT));
        return {};
    }
    sites::SiteFileContents contents = sites::ReadSiteFile(CodePageText(file, bytes));
    for (const sites::SkippedSection& s : contents.skipped)
        std::cerr << "skipped [" << ToUtf8(s.section) << "]: " << s.reason << "\n";
    return contents;
}

void Save(const std::string& file, const std::vector<sites::SiteText>& all)
{
    const std::optional<std::string> bytes = sites::WriteSiteFile(all);
    if (!bytes) {
        const sites::UnwritableField bad = *sites::FindUnwritableField(all);
        dvrtool::Fail("site " + std::to_string(bad.site + 1) + ", " + bad.key +
                      ": a line break or NUL that the file cannot hold; " + file + " stays as it was");
    }
    ReplaceFile(file, *bytes);
}

void NeedFile(const cmdline::Command& sub, const SitesArgs& a)
{
    if (!codePage.Open(a.codePage))
        Usage("--code-page '" + a.codePage + "': a code page this system does not know");
    if (!sub.Remaining().empty())
        Usage("unexpected argument '" + sub.Remaining().front() + "'");
    if (a.file.empty())
        Usage("no site file given");
}

void RunList(const cmdline::Command& sub, const SitesArgs& a)
{
    NeedFile(sub, a);
    const sites::SiteFileContents contents = Load(a.file, true);
    int number = 1;
    for (const sites::SiteText& s : contents.sites)
        std::cout << number++ << "\t" << ToUtf8(s.address) << "\t" << s.port << "\t" << (s.type ? "DDNS" : "IP") << "\t"
                  << ToUtf8(s.userId) << "\t" << ToUtf8(s.location) << "\n";
}

// A field's text in the file's code page, refused when it does not fit or would not read back as given.
std::string Field(const char* option, const std::string& utf8, size_t widest, std::string sites::SiteText::*member)
{
    std::string ansi;
    if (!ToAnsi(utf8, ansi))
        Usage(std::string(option) + ": a character that " + codePage.Name() + " cannot hold");
    if (ansi.size() > widest)
        Usage(std::string(option) + " is longer than " + std::to_string(widest) + " characters");
    for (unsigned char c : ansi)
        if (c < 0x20 || c == 0x7F)
            Usage(std::string(option) + ": control characters cannot be stored");
    sites::SiteText probe;
    probe.address = "x";
    probe.*member = ansi;
    const std::optional<std::string> bytes = sites::WriteSiteFile({&probe, 1});
    const sites::SiteFileContents back = sites::ReadSiteFile(bytes.value_or(""));
    if (back.sites.size() != 1 || back.sites[0].*member != ansi)
        Usage(std::string(option) + ": blanks at either end or enclosing quotes would be lost in the file");
    return ansi;
}

void RunAdd(const cmdline::Command& sub, const SitesArgs& a)
{
    NeedFile(sub, a);
    sites::SiteText site;
    if (a.address.empty())
        Usage("--address is empty or missing");
    site.address = Field("--address", a.address, sites::kAddressUnits - 1, &sites::SiteText::address);
    if (a.port.empty() || a.port.size() > 5 || a.port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(a.port) < sites::kLowestPort || std::stoi(a.port) > sites::kHighestPort)
        Usage("--port '" + a.port + "': a port is a number from 1 to 65530");
    site.port = std::stoi(a.port);
    if (a.user.empty())
        Usage("--user is empty or missing");
    site.userId = Field("--user", a.user, sites::kTextUnits - 1, &sites::SiteText::userId);
    if (sub.Count("--password") == 0)
        Usage("--password is missing (--password \"\" for none)");
    site.password = Field("--password", a.password, sites::kTextUnits - 1, &sites::SiteText::password);
    site.location = Field("--location", a.location, sites::kTextUnits - 1, &sites::SiteText::location);

    sites::SiteFileContents contents = Load(a.file, false);
    contents.sites.push_back(site);
    Save(a.file, contents.sites);
    std::cout << "site " << contents.sites.size() << " added\n";
}

void RunRemove(const cmdline::Command& sub, const SitesArgs& a)
{
    NeedFile(sub, a);
    sites::SiteFileContents contents = Load(a.file, true);
    const size_t count = contents.sites.size();
    if (a.number.empty() || a.number.size() > 9 || a.number.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(a.number) < 1 || std::stoul(a.number) > count)
        Usage("'" + a.number + "' is not a site of " + a.file + ": it holds sites 1 to " + std::to_string(count) +
              " (dvrtool sites list)");
    contents.sites.erase(contents.sites.begin() + long(std::stoul(a.number) - 1));
    Save(a.file, contents.sites);
    std::cout << "site " << a.number << " removed, " << contents.sites.size() << " left\n";
}

void AddCodePage(cmdline::Command& sub, SitesArgs& a)
{
    sub.Add("--code-page", a.codePage,
            "the code page of the file's text, that of the computer running the manager: 1252 "
            "(Windows-1252, the default), 1250, 1251, ...");
}

const dvrtool::Registrar sitesCommand([](cmdline::Command& app) {
    auto args = std::make_shared<SitesArgs>();
    cmdline::Command* sites =
        app.Subcommand("sites", "the manager's site file (CONFIG\\H264Site.ini): list, add, remove");
    sites->RequireSubcommands(0, 1);
    sites->Callback([sites] {
        if (sites->SubcommandsGiven() == 0)
            Usage("no sites command given");
    });

    cmdline::Command* list = sites->Subcommand("list",
                                               "the sites the manager loads, one a line: number, address, "
                                               "port, type, user, location; skipped sections on stderr");
    list->Add("file", args->file, "the site file");
    AddCodePage(*list, *args);
    list->AllowExtras();
    list->Callback([list, args] { RunList(*list, *args); });

    cmdline::Command* add = sites->Subcommand("add",
                                              "append a site and write the file as the manager saves it "
                                              "(a missing file is created)");
    add->Add("file", args->file, "the site file");
    add->Add("--address", args->address, "host name or dotted address (at most 59 characters)");
    add->Add("--port", args->port, "TCP port, 1 to 65530");
    add->Add("--user", args->user, "user ID (at most 29 characters)");
    add->Add("--password", args->password, "password (at most 29 characters)");
    add->Add("--location", args->location, "where the DVR stands (at most 29 characters)");
    AddCodePage(*add, *args);
    add->AllowExtras();
    add->Callback([add, args] { RunAdd(*add, *args); });

    cmdline::Command* remove = sites->Subcommand("remove", "remove site NUMBER (as sites list numbers them)");
    remove->Add("file", args->file, "the site file");
    remove->Add("number", args->number, "the site's number");
    AddCodePage(*remove, *args);
    remove->AllowExtras();
    remove->Callback([remove, args] { RunRemove(*remove, *args); });
});

} // namespace
