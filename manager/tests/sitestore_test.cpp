// The site store under Wine: files our writer makes read back through the platform's profile
// functions, our neutral reader agrees with those functions on hand-made files, and a save that
// cannot be done leaves the old file whole and says why.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ProfileText.h"
#include "SiteFile.h"
#include "SiteStore.h"

namespace {

using sites::SiteRecord;

namespace fs = std::filesystem;

class SiteStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
            ("sitestore_" + std::to_string(GetCurrentProcessId()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
        path_ = (folder_ / "CONFIG" / "H264Site.ini").wstring();
    }
    void TearDown() override
    {
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(folder_);
    }
    static void Write(const std::wstring& path, const std::string& bytes)
    {
        std::ofstream(fs::path(path), std::ios::binary) << bytes;
    }
    static std::string Read(const std::wstring& path)
    {
        std::ostringstream s;
        s << std::ifstream(fs::path(path), std::ios::binary).rdbuf();
        return s.str();
    }
    fs::path folder_;
    std::wstring path_;
};

std::wstring Wide(const std::string& ansi)
{
    std::wstring w(ansi.size(), L'\0');
    w.resize(size_t(MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), w.data(), int(w.size()))));
    return w;
}

std::string Utf8(const std::wstring& w)
{
    std::string s(w.size() * 3, '\0');
    s.resize(
        size_t(WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), int(s.size()), nullptr, nullptr)));
    return s;
}

SiteRecord Site(const wchar_t* address, int32_t port, const wchar_t* user, const wchar_t* location, uint8_t type = 0)
{
    SiteRecord r = {};
    r.size = sites::kSiteRecordSize;
    r.type = type;
    r.port = port;
    wcsncpy(r.address, address, sites::kAddressUnits - 1);
    wcsncpy(r.userId, user, sites::kTextUnits - 1);
    wcsncpy(r.password, L"pw=1;x", sites::kTextUnits - 1);
    wcsncpy(r.location, location, sites::kTextUnits - 1);
    if (type)
        wcsncpy(r.ddnsMember, L"member", sites::kTextUnits - 1), wcsncpy(r.ddnsName, L"name", sites::kTextUnits - 1);
    return r;
}

TEST_F(SiteStore, SavedFileReadsBackThroughThePlatformWithTheSameValues)
{
    const std::vector<SiteRecord> saved = {
        Site(L"192.168.10.20", 65530, L"admin", L"Entr\u00e9e north"),
        Site(std::wstring(59, L'a').c_str(), 1, std::wstring(29, L'u').c_str(), std::wstring(29, L'l').c_str(), 1),
        Site(L"dvr.example", -5, L"x", L"  Hall  "),
    };
    sites::SaveFailure failure;
    ASSERT_TRUE(sites::SaveSiteFile(path_, saved, failure)) << Utf8(failure.reason); // creates CONFIG

    const std::string bytes = Read(path_);
    EXPECT_EQ(bytes.rfind("[SETUP_INFO]\r\nNUMBER=4\r\n\r\n[DVR1]\r\nTYPE=0\r\nIP=192.168.10.20\r\n", 0), 0u) << bytes;
    char e[4] = {};
    WideCharToMultiByte(CP_ACP, 0, L"\u00e9", 1, e, 3, nullptr, nullptr);
    EXPECT_NE(bytes.find(std::string("Entr") + e + "e north    \r\n"), std::string::npos) << "the ANSI code page";

    std::vector<SiteRecord> loaded = sites::LoadSiteFile(path_);
    ASSERT_EQ(loaded.size(), saved.size());
    SiteRecord expected = saved[2];
    std::fill(std::begin(expected.location), std::end(expected.location), L'\0');
    wcscpy(expected.location, L"Hall"); // blanks around a value do not survive the file
    for (size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(memcmp(&loaded[i], i == 2 ? &expected : &saved[i], sizeof(SiteRecord)), 0) << "site " << i;

    // Pointers, as the site list holds them, write the same bytes.
    std::vector<const SiteRecord*> pointers = {&saved[0], &saved[1], &saved[2]};
    ASSERT_TRUE(sites::SaveSiteFile(path_, pointers, failure));
    EXPECT_EQ(Read(path_), bytes);
}

// Hand-made files on which the neutral reader must see what the platform sees.
const std::vector<std::string>& HandMadeFiles()
{
    static const std::vector<std::string> files = {
        // odd spacing, tabs, case
        "  [ SETUP_INFO ]  \r\n  number =  3  \r\n[DVR1]\r\n\tIP\t=\t 10.0.0.1 \t\r\nPORT = 0x10\r\nTYPE=  -1\r\n"
        " id= admin \r\nPWD = \"secret \" \r\nLOCATION='Hall'\r\n[dvr3]\r\nip =   \r\n",
        // missing keys and sections
        "[SETUP_INFO]\nNUMBER=5\n[DVR2]\nIP=host\n[DVR4]\nPORT=80\nID=nobody\n[DVR5]\nIP=\n",
        // duplicate sections and keys
        "[SETUP_INFO]\r\nNUMBER=3\r\n[DVR1]\r\nIP=first\r\n[dvr1]\r\nIP=second\r\nPORT=1\r\nID=late\r\n"
        "[DVR2]\r\nIP=a\r\nIP=b\r\nport=9\r\nPORT=10\r\n[SETUP_INFO]\r\nNUMBER=1\r\n",
        // huge values
        "[SETUP_INFO]\r\nNUMBER=99999999999\r\n[DVR1]\r\nIP=" + std::string(300, 'x') +
            "\r\nPORT=4294967297\r\nTYPE=257\r\nLOCATION=" + std::string(100, 'y') + "\r\nID=" +
            std::string(40000, 'i') + "\r\n[DVR2]\r\nIP=" + std::string(64, 'z') + "9\r\nPORT=-2147483649\r\n",
        // keys before any section, comments, a line without '=', an unclosed header, lone CRs and no
        // final line break
        "ID=outside\r\n[SETUP_INFO]\r\nNUMBER=3\r\n; comment=1\r\nno equals line\r\n[DVR1\r\nIP=unclosed\r\n"
        "[DVR1]\rIP=cr only\rPORT=+7\n[DVR2]\nIP=last\nID",
        // quotes
        "[SETUP_INFO]\nNUMBER=9\n[DVR1]\nIP=\"quoted\"\nID=\"unbalanced\nPWD=\"\"\nLOCATION=\"\n"
        "[DVR2]\nIP='a\"\nID=\"a'\nPWD=' spaced '\n",
        // numbers
        "[SETUP_INFO]\nNUMBER=2abc\n[DVR1]\nIP=h\nPORT=12abc\nTYPE=abc\n[DVR2]\nIP=h\nPORT= +5\nTYPE=010\n"
        "[X]\nA=0b11\nB=0o17\nC=-\nD=  \nE=1 2\nnone\nnone=later\nNUMBER=-0X1fg\nF=0x1Fg\nG=-0b102\n",
        // byte order mark, empty and blank files
        "\xEF\xBB\xBF[SETUP_INFO]\r\nNUMBER=2\r\n[DVR1]\r\nIP=bom\r\n",
        // Ctrl-Z and NUL bytes in values, other control characters at their ends
        "[SETUP_INFO]\r\nNUMBER=3\r\n[DVR1]\r\nIP=ctrl\x1Az\r\nID=end\x1A\r\nPWD=\x1A lead\r\nLOCATION=nul" +
            std::string("\0after", 6) + "\r\n[DVR2]\r\nIP=" + std::string("\0x", 2) +
            "\r\n[DVR3]\r\nIP=\x1F\x1C" "c\x01\r\nDDNS_MEMBER=m\x1A\r\nDDNS_NAME=\" q \"\x1A\r\nID=\"ab " +
            std::string("\0cd\"", 4) + "\r\nPWD=\x7F\r\n",
        // quoted values of exactly a field's width, and one more
        "[SETUP_INFO]\nNUMBER=2\n[DVR1]\nIP=\"" + std::string(59, 'a') + "\"\nID=\"" + std::string(29, 'u') + "\"\nPWD='" +
            std::string(30, 'p') + "'\nLOCATION=\"" + std::string(28, 'l') + "\"\nDDNS_NAME=\"" + std::string(29, 'n') +
            "\"\nDDNS_MEMBER=\"" + std::string(64, 'm') + "\"\n[DVR2]\nIP=\"" + std::string(64, 'b') + "\"\nID='" +
            std::string(5, 'u') + "'\n",
        "",
        " \r\n\t\r\n",
    };
    return files;
}

TEST_F(SiteStore, NeutralReaderAgreesWithThePlatformOnHandMadeFiles)
{
    const char* sections[] = {"SETUP_INFO", "DVR1", "dvr1", "DVR2", "DVR3", "DVR4", "DVR5", "X", "none"};
    const char* keys[] = {"NUMBER", "IP", "PORT", "TYPE", "ID", "PWD", "LOCATION", "DDNS_MEMBER", "DDNS_NAME",
                          "no equals line", "; comment", "A", "B", "C", "D", "E", "F", "G", "none"};
    const std::wstring file = (folder_ / "plain.ini").wstring();
    int index = 0;
    for (const std::string& bytes : HandMadeFiles()) {
        SCOPED_TRACE("file " + std::to_string(index++));
        Write(file, bytes);
        const sites::ProfileText ours(bytes);
        for (const char* section : sections) {
            for (const char* key : keys) {
                const std::wstring s = Wide(section), k = Wide(key);
                for (DWORD buffer : {65u, 6u}) {
                    std::vector<wchar_t> text(buffer, L'#');
                    DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), L"def", text.data(), buffer, file.c_str());
                    EXPECT_EQ(Utf8(Wide(ours.String(section, key, "def", buffer))), Utf8(std::wstring(text.data(), n)))
                        << section << "/" << key << " buffer " << buffer;
                }
                EXPECT_EQ(ours.Int(section, key, 77),
                          int32_t(GetPrivateProfileIntW(s.c_str(), k.c_str(), 77, file.c_str())))
                    << section << "/" << key;
            }
        }
        const std::vector<sites::SiteText> neutral = sites::ReadSiteFile(bytes).sites;
        const std::vector<SiteRecord> platform = sites::LoadSiteFile(file);
        ASSERT_EQ(neutral.size(), platform.size());
        for (size_t i = 0; i < neutral.size(); ++i) {
            const SiteRecord& p = platform[i];
            const sites::SiteText& t = neutral[i];
            EXPECT_EQ(Wide(t.address), p.address);
            EXPECT_EQ(Wide(t.location), p.location);
            EXPECT_EQ(Wide(t.userId), p.userId);
            EXPECT_EQ(Wide(t.password), p.password);
            EXPECT_EQ(Wide(t.ddnsMember), p.ddnsMember);
            EXPECT_EQ(Wide(t.ddnsName), p.ddnsName);
            EXPECT_EQ(t.port, p.port);
            EXPECT_EQ(t.type, p.type);
        }
    }
}

TEST_F(SiteStore, SaveThatCannotReplaceTheFileKeepsTheOldOneAndSaysWhy)
{
    const std::vector<SiteRecord> one = {Site(L"10.1.1.1", 50000, L"admin", L"")};
    sites::SaveFailure failure;
    ASSERT_TRUE(sites::SaveSiteFile(path_, one, failure));
    const std::string old = Read(path_);

    const std::vector<SiteRecord> two = {one[0], Site(L"10.1.1.2", 50001, L"admin", L"")};
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(sites::SaveSiteFile(path_, two, failure));
    EXPECT_EQ(failure.file, path_);
    EXPECT_NE(failure.code, 0u);
    EXPECT_FALSE(failure.reason.empty());
    const std::wstring text = sites::SaveFailureText(failure);
    EXPECT_NE(text.find(path_), std::wstring::npos);
    EXPECT_NE(text.find(failure.reason), std::wstring::npos);
    EXPECT_EQ(Read(path_), old);
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A pasted line break, a user ID the code page cannot hold ("?" would log in as another user):
    // refused with the site and the field, the file as it was.
    for (const auto& [bad, key] : {std::pair{Site(L"10.1.1.3", 1, L"u", L"Gate\r[DVR2]\rIP=6.6.6.6"), L"2, LOCATION"},
                                   std::pair{Site(L"10.1.1.3", 1, L"\u0418\u0432\u0430\u043d", L""), L"2, ID"}}) {
        const std::vector<SiteRecord> withBad = {one[0], bad};
        failure = {};
        EXPECT_FALSE(sites::SaveSiteFile(path_, withBad, failure));
        EXPECT_NE(failure.reason.find(key), std::wstring::npos) << Utf8(failure.reason);
        EXPECT_EQ(Read(path_), old);
    }

    // A folder where the file should be.
    DeleteFileW(path_.c_str());
    ASSERT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
    failure = {};
    EXPECT_FALSE(sites::SaveSiteFile(path_, two, failure));
    EXPECT_NE(failure.code, 0u);
    EXPECT_EQ(GetFileAttributesW(path_.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));

    // Nothing is left behind beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "CONFIG"), {}), 1);
}

} // namespace
