// The site file's bytes and what the manager loads from a file.
#include <gtest/gtest.h>

#include "SiteFile.h"

namespace {

using sites::ReadSiteFile;
using sites::SiteText;
using sites::WriteSiteFile;

SiteText Site(std::string address, std::string location = "", uint8_t type = 0)
{
    SiteText s;
    s.address = std::move(address);
    s.location = std::move(location);
    s.type = type;
    s.userId = "admin";
    s.password = "1234";
    return s;
}

TEST(SiteFile, WritesTheManagersExactBytes)
{
    EXPECT_EQ(WriteSiteFile({}), "[SETUP_INFO]\r\nNUMBER=1\r\n");

    SiteText ddns = Site("dvr.example.net", "Gate", 1);
    ddns.port = 65530;
    ddns.ddnsMember = "m";
    ddns.ddnsName = "n";
    const SiteText sites[] = {Site("10.0.0.1"), ddns};
    EXPECT_EQ(WriteSiteFile(sites),
              "[SETUP_INFO]\r\nNUMBER=3\r\n"
              "\r\n[DVR1]\r\nTYPE=0\r\nIP=10.0.0.1\r\nPORT=50000\r\nID=admin\r\nPWD=1234\r\n"
              "DDNS_MEMBER=\r\nDDNS_NAME=\r\nLOCATION=    \r\n"
              "\r\n[DVR2]\r\nTYPE=1\r\nIP=dvr.example.net\r\nPORT=65530\r\nID=admin\r\nPWD=1234\r\n"
              "DDNS_MEMBER=m\r\nDDNS_NAME=n\r\nLOCATION=Gate    \r\n");
}

TEST(SiteFile, GapsInTheNumberingCloseOnTheNextSave)
{
    const auto read =
        ReadSiteFile("[SETUP_INFO]\r\nNUMBER=3\r\n[DVR1]\r\nIP=a\r\nTYPE=1\r\n[DVR3]\r\nIP=c\r\nPORT=80\r\n");
    ASSERT_EQ(read.sites.size(), 2u);
    EXPECT_EQ(read.sites[0].address, "a");
    EXPECT_EQ(read.sites[0].type, 1); // kept until the site is edited
    EXPECT_EQ(read.sites[0].port, 50000);
    EXPECT_EQ(read.sites[1].port, 80);
    const std::string saved = WriteSiteFile(read.sites).value();
    EXPECT_NE(saved.find("NUMBER=3\r\n"), std::string::npos);
    EXPECT_NE(saved.find("[DVR2]\r\nTYPE=0\r\nIP=c\r\n"), std::string::npos);
    EXPECT_EQ(saved.find("[DVR3]"), std::string::npos);
}

TEST(SiteFile, FieldsAreCutToTheirWidthAndLoseTheirOuterBlanks)
{
    SiteText s = Site(std::string(64, 'a'), " " + std::string(60, 'l'));
    s.password = std::string(40, 'p');
    const auto read = ReadSiteFile(WriteSiteFile({&s, 1}).value());
    ASSERT_EQ(read.sites.size(), 1u);
    EXPECT_EQ(read.sites[0].address, std::string(59, 'a'));
    EXPECT_EQ(read.sites[0].location, std::string(29, 'l'));
    EXPECT_EQ(read.sites[0].password, std::string(29, 'p'));

    s = Site("h", "Hall 2  ");
    EXPECT_EQ(ReadSiteFile(WriteSiteFile({&s, 1}).value()).sites.at(0).location, "Hall 2");
}

// A line break pasted into a field would read back as another site's section: nothing is written.
TEST(SiteFile, ALineBreakOrNulInAFieldIsRefused)
{
    SiteText sites[] = {Site("10.0.0.1", "Hall\tA"), Site("10.0.0.2", "Gate\r[DVR2]\rIP=6.6.6.6")};
    EXPECT_FALSE(WriteSiteFile(sites));
    const auto bad = sites::FindUnwritableField(sites);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->site, 1u);
    EXPECT_STREQ(bad->key, "LOCATION");
    sites[1].location = "Gate";
    sites[1].password = std::string("a\0b", 3);
    EXPECT_STREQ(sites::FindUnwritableField(sites)->key, "PWD");
    sites[1].password = "x\ny";
    EXPECT_FALSE(WriteSiteFile(sites));
    sites[1].password = "pw";
    EXPECT_TRUE(WriteSiteFile(sites)) << "a tab read from a file is written back";
}

TEST(SiteFile, SectionsPassedOverAreReportedWithTheirReason)
{
    const auto read = ReadSiteFile("[SETUP_INFO]\nNUMBER=2\n[DVR1]\nIP=\n[dvr2]\nIP=b\n[DVR2]\nIP=c\n"
                                   "[DVR3]\nIP=d\n[DVR02]\nIP=e\n[Other]\n");
    ASSERT_EQ(read.sites.size(), 1u);
    EXPECT_EQ(read.sites[0].address, "b"); // the first of two sections of one name
    std::vector<std::string> skipped;
    for (const auto& s : read.skipped)
        skipped.push_back(s.section);
    EXPECT_EQ(skipped, (std::vector<std::string>{"DVR2", "DVR3", "DVR02", "Other", "DVR1"}));

    EXPECT_TRUE(ReadSiteFile("[DVR1]\nIP=a\n").sites.empty()); // no NUMBER
    EXPECT_TRUE(ReadSiteFile("[SETUP_INFO]\nNUMBER=-1\n[DVR1]\nIP=a\n").sites.empty());
    // A huge NUMBER costs nothing: only the sections that exist are looked at.
    EXPECT_EQ(ReadSiteFile("[SETUP_INFO]\nNUMBER=0x7fffffff\n[DVR2147483647]\nIP=z\n").sites.size(), 1u);
}

} // namespace
