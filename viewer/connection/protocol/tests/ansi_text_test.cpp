// The ANSI conversion of the address, user ID and password, under the code pages Windows may have
// as its ANSI code page.
#include "protocol/AnsiText.h"
#include <gtest/gtest.h>

using protocol::ToAnsi;

TEST(AnsiText, ConvertsUnderWesternAndUtf8CodePages)
{
    // A Western code page: a character without an equivalent becomes "#".
    EXPECT_EQ(ToAnsi(L"caf\u00e9 \u4e2d", 259, 1252), "caf\xe9 #");
    // UTF-8 refuses the composite check and the default character: the same call with them fails.
    EXPECT_EQ(ToAnsi(L"127.0.0.1", 259, CP_UTF8), "127.0.0.1");
    EXPECT_EQ(ToAnsi(L"caf\u00e9", 259, CP_UTF8), "caf\xc3\xa9");
    EXPECT_EQ(ToAnsi(L"caf\u00e9", 4, CP_UTF8), "caf") << "a character is never split";
    // The system's own code page, whichever it is.
    EXPECT_EQ(ToAnsi(L"admin", 127), "admin");
}
