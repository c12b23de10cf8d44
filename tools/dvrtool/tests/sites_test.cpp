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
