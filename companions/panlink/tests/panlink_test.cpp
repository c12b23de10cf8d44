// Panlink.dll through its exports, as the viewer calls it.
#include "panlink/PTZAPI.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {

_tagPTZCommand Fetch(int camera, int command)
{
    _tagPTZCommand r;
    std::memset(&r, 0, sizeof r);
    PTZAPI_GetCommand(camera, command, &r);
    return r;
}

TEST(PanlinkDll, ListsItsProtocols)
{
    const unsigned count = PTZAPI_GetSupportTotalPTZ();
    ASSERT_GE(count, 8u);
    char name[PTZ_NAME_BUFFER];
    PTZAPI_GetSupportPTZName(0, name);
    EXPECT_STREQ(name, "Pelco-D");
    for (unsigned i = 0; i < count; ++i) {
        PTZAPI_GetSupportPTZName(i, name);
        EXPECT_GT(std::strlen(name), 0u);
        EXPECT_LE(std::strlen(name), 29u); // the viewer's list shows at most 29 characters
    }
    std::memset(name, 'x', sizeof name);
    PTZAPI_GetSupportPTZName(count, name);
    EXPECT_STREQ(name, "");
    PTZAPI_GetSupportPTZName(0xFFFFFFFFu, name);
    EXPECT_STREQ(name, "");
    PTZAPI_GetSupportPTZName(0, nullptr);
}

TEST(PanlinkDll, CameraObjectsBuildTheirCommands)
{
    // Camera 2, Pelco-D, address 2 (receiver 3), at the protocol's default 2400 bps until set.
    ASSERT_NE(PTZAPI_CreatePTZ(2, 0, 2), 0);
    EXPECT_EQ(PTZAPI_GetFunctionMask(2) & (1u << PTZ_CMD_LEFT_UP), 1u << PTZ_CMD_LEFT_UP);
    _tagPTZCommand r = Fetch(2, PTZ_CMD_UP);
    EXPECT_EQ(r.value, 2400u);
    ASSERT_EQ(r.count, 7);
    const uint8_t up[] = {0xFF, 0x03, 0x00, 0x08, 0x00, 0x20, 0x2B};
    EXPECT_EQ(std::memcmp(r.bytes, up, sizeof up), 0);

    PTZAPI_SetBaudRates(2, PTZ_BAUD_9600);
    PTZAPI_SetBaudRates(2, 8); // not a rate: ignored
    EXPECT_EQ(Fetch(2, PTZ_CMD_STOP).value, 9600u);

    // A command the protocol does not build leaves the record as given.
    ASSERT_NE(PTZAPI_CreatePTZ(2, 7, 2), 0);
    EXPECT_EQ(PTZAPI_GetFunctionMask(2) & 0x780u, 0u);
    EXPECT_EQ(Fetch(2, PTZ_CMD_LEFT_UP).count, 0);
    EXPECT_EQ(Fetch(2, PTZ_CMD_PAN_STOP).count, 3);

    PTZAPI_DestroyPTZ(2);
    PTZAPI_DestroyPTZ(2); // harmless a second time
    EXPECT_EQ(PTZAPI_GetFunctionMask(2), 0u);
    EXPECT_EQ(Fetch(2, PTZ_CMD_UP).count, 0);
}

TEST(PanlinkDll, RefusesWhatItCannotAddress)
{
    EXPECT_EQ(PTZAPI_CreatePTZ(16, 0, 0), 0);
    EXPECT_EQ(PTZAPI_CreatePTZ(-1, 0, 0), 0);
    EXPECT_EQ(PTZAPI_CreatePTZ(0, static_cast<int>(PTZAPI_GetSupportTotalPTZ()), 0), 0);
    EXPECT_EQ(PTZAPI_CreatePTZ(0, 3, 7), 0) << "VISCA reaches receivers 1-7 only";
    EXPECT_EQ(PTZAPI_CreatePTZ(0, 0, -1), 0);
    EXPECT_EQ(PTZAPI_GetFunctionMask(0), 0u);
    PTZAPI_GetCommand(0, PTZ_CMD_UP, nullptr);
    PTZAPI_GetCommand(99, PTZ_CMD_UP, nullptr);
    EXPECT_EQ(Fetch(-5, PTZ_CMD_UP).count, 0);
    PTZAPI_SetBaudRates(-1, 0);
    PTZAPI_DestroyPTZ(1000);
}

} // namespace
