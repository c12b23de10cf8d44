// dvrtool sites: a site file prepared from the shell is the file the manager writes, and bad
// arguments leave the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "SiteFile.h"

namespace {

class DvrtoolSites : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/dvrtool_sites_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        file_ = dir_ + "/H264Site.ini";
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    // Runs dvrtool with `args` (shell words); its exit code, stdout in out_, stderr in err_.
    int Run(const std::string& args)
    {
        const std::string command = std::string(DVRTOOL_EXE) + " " + args + " 2>'" + dir_ + "/err'";
        FILE* p = popen(command.c_str(), "r");
        out_.clear();
        char buf[4096];
        size_t n = 0;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out_.append(buf, n);
        const int status = pclose(p);
        err_ = Bytes(dir_ + "/err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Bytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string F() const { return "'" + file_ + "'"; }

    std::string dir_, file_, out_, err_;
};

TEST_F(DvrtoolSites, AddListRemoveWriteTheManagersFile)
{
    ASSERT_EQ(Run("sites add " + F() +
                  " --address 10.0.0.1 --port 65530 --user admin --password 'a b=c'"
                  " --location 'Entr\u00e9e \u20ac'"),
              0)
        << err_;
    std::vector<sites::SiteText> expected = {{.port = 65530,
                                              .address = "10.0.0.1",
                                              .location = "Entr\xE9"
                                                          "e \x80",
                                              .userId = "admin",
                                              .password = "a b=c"}};
    EXPECT_EQ(Bytes(file_), sites::WriteSiteFile(expected)); // Windows-1252 in the file

    ASSERT_EQ(Run("sites add " + F() + " --address dvr.example --port 1 --user u --password ''"), 0) << err_;
    expected.push_back({.port = 1, .address = "dvr.example", .userId = "u"});
    EXPECT_EQ(Bytes(file_), sites::WriteSiteFile(expected));

    ASSERT_EQ(Run("sites list " + F()), 0) << err_;
    EXPECT_EQ(out_, "1\t10.0.0.1\t65530\tIP\tadmin\tEntr\u00e9e \u20ac\n2\tdvr.example\t1\tIP\tu\t\n");

    ASSERT_EQ(Run("sites remove " + F() + " 1"), 0) << err_;
    EXPECT_EQ(Bytes(file_), sites::WriteSiteFile({&expected[1], 1}));
}

TEST_F(DvrtoolSites, ListShowsWhatTheManagerLoadsAndWhatItSkips)
{
    std::ofstream(file_, std::ios::binary)
        << "[SETUP_INFO]\r\nNUMBER=3\r\n[DVR1]\r\nID=x\r\n[DVR3]\r\nIP=c\r\nTYPE=1\r\n";
    ASSERT_EQ(Run("sites list " + F()), 0) << err_;
    EXPECT_EQ(out_, "1\tc\t50000\tDDNS\t\t\n");
    EXPECT_NE(err_.find("[DVR1]"), std::string::npos) << err_;
}

// UTF-16 (either byte order, with its mark) and UTF-8 with its mark, as editors save the file and the
// platform's reader reads it: every site stays and comes back in the code page; a character the
// code page lacks leaves the file as it was.
TEST_F(DvrtoolSites, UnicodeFilesKeepTheirSitesOrAreLeftAsTheyWere)
{
    const std::string body = "[SETUP_INFO]\r\nNUMBER=2\r\n[DVR1]\r\nIP=h1\r\nID=Jos\u00e9\r\nLOCATION=Caf\u00e9\r\n";
    const auto utf16 = [](const std::string& utf8, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (size_t i = 0; i < utf8.size();) { // 1 to 3 bytes a character here
            const unsigned char b = utf8[i];
            const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
            unsigned cp = n == 1 ? b : b & (n == 2 ? 0x1F : 0x0F);
            for (int k = 1; k < n; ++k)
                cp = cp << 6 | (utf8[i + size_t(k)] & 0x3F);
            i += size_t(n);
            out += bigEndian ? std::string{char(cp >> 8), char(cp)} : std::string{char(cp), char(cp >> 8)};
        }
        return out;
    };
    const std::string add = " --address h2 --port 2 --user u --password p";
    std::vector<sites::SiteText> expected = {
        {.address = "h1", .location = "Caf\xE9", .userId = "Jos\xE9"}, {.port = 2, .address = "h2", .userId = "u", .password = "p"}};
    for (const std::string& file : {utf16(body, false), utf16(body, true), "\xEF\xBB\xBF" + body}) {
        std::ofstream(file_, std::ios::binary) << file;
        ASSERT_EQ(Run("sites list " + F()), 0) << err_;
        EXPECT_EQ(out_, "1\th1\t50000\tIP\tJos\u00e9\tCaf\u00e9\n");
        ASSERT_EQ(Run("sites add " + F() + add), 0) << err_;
        EXPECT_EQ(Bytes(file_), sites::WriteSiteFile(expected));

        const std::string lost = utf16(body + "PWD=\u0416\r\n", false); // Cyrillic: not in Windows-1252
        std::ofstream(file_, std::ios::binary) << lost;
        EXPECT_EQ(Run("sites add " + F() + add), 1);
        EXPECT_NE(err_.find("cannot hold"), std::string::npos) << err_;
        EXPECT_EQ(Bytes(file_), lost);
    }
    // The code page is an option: a Cyrillic password in Windows-1251.
    std::ofstream(file_, std::ios::binary) << utf16("[SETUP_INFO]\r\nNUMBER=2\r\n[DVR1]\r\nIP=h1\r\nPWD=\u0416\r\n", false);
    ASSERT_EQ(Run("sites add " + F() + add + " --code-page 1251"), 0) << err_;
    expected[0] = {.address = "h1", .password = "\xC6"};
    EXPECT_EQ(Bytes(file_), sites::WriteSiteFile(expected));
}

TEST_F(DvrtoolSites, AnAddressMayHoldUpTo59Characters)
{
    ASSERT_EQ(Run("sites add " + F() + " --address " + std::string(59, 'a') + " --port 80 --user u --password p"), 0)
        << err_;
    ASSERT_EQ(Run("sites list " + F()), 0);
    EXPECT_EQ(out_, "1\t" + std::string(59, 'a') + "\t80\tIP\tu\t\n");
    EXPECT_EQ(Run("sites add " + F() + " --address " + std::string(60, 'a') + " --port 80 --user u --password p"), 2);
}

TEST_F(DvrtoolSites, BadArgumentsAreRefusedAndTheFileStaysAsItWas)
{
    ASSERT_EQ(Run("sites add " + F() + " --address h --port 80 --user u --password p"), 0) << err_;
    const std::string before = Bytes(file_);
    const std::string add = "sites add " + F() + " ";
    for (const std::string& args : std::vector<std::string>{
             add + "--address h --port 0 --user u --password p",
             add + "--address h --port 65531 --user u --password p",
             add + "--address h --port 8o --user u --password p",
             add + "--address '' --port 80 --user u --password p",
             add + "--port 80 --user u --password p",
             add + "--address h --port 80 --user '' --password p",
             add + "--address h --port 80 --user u",
             add + "--address h --port 80 --user u --password p --location " + std::string(30, 'l'),
             add + "--address h --port 80 --user u --password ' p'",
             add + "--address h --port 80 --user u --password '\"p\"'",
             add + "--address h --port 80 --user u --password p --location '\u65e5\u672c'",
             add + "--address h --port 80 --user u --password p --bogus",
             add + "--address h --port 80 --user u --password p --code-page nowhere-99",
             "sites remove " + F() + " 2",
             "sites remove " + F() + " 0",
             "sites remove " + F() + " one",
             "sites remove " + F(),
             "sites list",
             "sites",
         }) {
        EXPECT_EQ(Run(args), 2) << args;
        EXPECT_NE(err_.find("usage: dvrtool sites"), std::string::npos) << args << "\n" << err_;
        EXPECT_EQ(Bytes(file_), before) << args;
    }
    std::vector<std::string> left; // no new file stays beside it
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"H264Site.ini", "err"}));
}

} // namespace
