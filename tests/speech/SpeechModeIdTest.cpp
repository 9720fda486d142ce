#include "speech/SpeechModeId.h"

#include <gtest/gtest.h>

namespace {

SpeechModeId Bytes(std::initializer_list<int> values) {
    SpeechModeId id{};
    size_t i = 0;
    for (int v : values)
        id[i++] = static_cast<uint8_t>(v);
    return id;
}

} // namespace

// Expected values from an independent implementation (Python's uuid.uuid5 with our namespace
// 6f1c6a52-3f5e-4b8e-9a51-2d0c7e4b9a10, bytes_le): the stored choice must survive a rebuild
// with another UUID library.
TEST(SpeechModeId, IsTheVersion5UuidInGuidLayout) {
    EXPECT_EQ(ModeIdForVoice("gmw/en"), Bytes({0x7e, 0x05, 0xcf, 0x2b, 0x7f, 0x3f, 0xee, 0x59, 0xaa,
                                               0x03, 0xb1, 0x20, 0x17, 0x5a, 0x65, 0x36}));
    EXPECT_EQ(ModeIdForVoice("gmw/de"), Bytes({0x28, 0x2f, 0xaa, 0x75, 0xe8, 0xb8, 0x77, 0x58, 0xae,
                                               0xd0, 0xc1, 0x02, 0x88, 0xcc, 0x71, 0x32}));
}

TEST(SpeechModeId, DistinctPerVoiceAndNeverNull) {
    const SpeechModeId a = ModeIdForVoice("gmw/en");
    const SpeechModeId b = ModeIdForVoice("gmw/en-US");
    EXPECT_NE(a, b);
    EXPECT_EQ(a, ModeIdForVoice("gmw/en"));
    EXPECT_FALSE(IsNullModeId(a));
    EXPECT_FALSE(IsNullModeId(ModeIdForVoice("")));
    EXPECT_TRUE(IsNullModeId(SpeechModeId{}));
}
