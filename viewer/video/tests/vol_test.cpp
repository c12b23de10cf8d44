// The synthesized VOL, read back by xvid itself.
#include "Mp4DecoderManager.h"
#include "VolHeader.h"
#include <gtest/gtest.h>

using namespace video;

TEST(VolHeader, TemplateSizeRebuildsTheTemplate)
{
    uint8_t vol[kVolSize];
    BuildVolHeader(704, 240, false, vol);
    EXPECT_EQ(0, memcmp(vol, kVolTemplate, kVolSize));
}

TEST(VolHeader, XvidReadsBackEverySizeAndFindsOneVol)
{
    const XvidApi& x = LinkedXvidApi();
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    x.global(nullptr, XVID_GBL_INIT, &init, nullptr);
    const int sizes[][2] = {{352, 240}, {352, 288}, {704, 240}, {704, 288},
                            {704, 480}, {720, 480}, {720, 576}, {16, 16}};
    for (auto& s : sizes) {
        for (bool interlacedBit : {false, true}) {
            uint8_t vol[kVolSize];
            BuildVolHeader(s[0], s[1], interlacedBit, vol);
            xvid_dec_create_t c{};
            c.version = XVID_VERSION;
            c.width = s[0];
            c.height = s[1];
            ASSERT_EQ(0, x.decore(nullptr, XVID_DEC_CREATE, &c, nullptr));
            xvid_dec_frame_t f{};
            f.version = XVID_VERSION;
            f.general = XVID_LOWDELAY;
            f.bitstream = vol;
            f.length = kVolSize;
            f.output.csp = XVID_CSP_NULL;
            xvid_dec_stats_t st{};
            st.version = XVID_VERSION;
            const int used = x.decore(c.handle, XVID_DEC_DECODE, &f, &st);
            EXPECT_EQ(29, used) << s[0] << "x" << s[1];
            EXPECT_EQ(XVID_TYPE_VOL, st.type);
            EXPECT_EQ(s[0], st.data.vol.width);
            EXPECT_EQ(s[1], st.data.vol.height);
            // The interlaced bit: the header's, or forced for full-height NTSC and PAL.
            const bool interlaced = (vol[27] & 0x10) != 0;
            EXPECT_EQ(interlacedBit || s[1] == 480 || s[1] == 576, interlaced);
            x.decore(c.handle, XVID_DEC_DESTROY, nullptr, nullptr);
        }
    }
}

TEST(VolHeader, ResolutionClasses)
{
    EXPECT_EQ(1, ResolutionClassOf(352, 240));
    EXPECT_EQ(1, ResolutionClassOf(352, 576));
    EXPECT_EQ(2, ResolutionClassOf(704, 240));
    EXPECT_EQ(2, ResolutionClassOf(704, 288));
    EXPECT_EQ(4, ResolutionClassOf(704, 480));
    EXPECT_EQ(4, ResolutionClassOf(720, 576));
    EXPECT_EQ(0, ResolutionClassOf(720, 352));
}
