// The ANSI conversion of the address, user ID and password, under the code pages Windows may have
// as its ANSI code page.
#include "AnsiText.h"
#include <gtest/gtest.h>

using protocol::ToAnsi;

TEST(AnsiText, ConvertsUnderWesternAndUtf8CodePages)
{
    // Windows refuses the composite check and a default character for UTF-8 and the other
    // flagless pages (Wine 8 does not enforce it, so the rule is checked as well as the results).
    EXPECT_FALSE(protocol::TakesConversionFlags(CP_UTF8));
    EXPECT_FALSE(protocol::TakesConversionFlags(50220));
    EXPECT_TRUE(protocol::TakesConversionFlags(1252));
    EXPECT_TRUE(protocol::TakesConversionFlags(932));
    // A Western code page: a character without an equivalent becomes "#".
    EXPECT_EQ(ToAnsi(L"caf\u00e9 \u4e2d", 259, 1252), "caf\xe9 #");
    // UTF-8, as current Windows may set it for the ANSI code page.
    EXPECT_EQ(ToAnsi(L"127.0.0.1", 259, CP_UTF8), "127.0.0.1");
    EXPECT_EQ(ToAnsi(L"caf\u00e9", 259, CP_UTF8), "caf\xc3\xa9");
    EXPECT_EQ(ToAnsi(L"caf\u00e9", 4, CP_UTF8), "caf") << "a character is never split";
    // The system's own code page, whichever it is.
    EXPECT_EQ(ToAnsi(L"admin", 127), "admin");
}
