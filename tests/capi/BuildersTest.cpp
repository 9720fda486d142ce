#include "WireBytes.h"
#include "capi/CapiErrors.h"
#include "capi/SimulatedLine.h"
#include "capi/msgBuilders.h"

#include <gtest/gtest.h>

namespace {

class Builders : public ::testing::Test {
protected:
    void SetUp() override {
        line.SetFirstApplId(5);
        unsigned id = 0;
        ASSERT_EQ(line.Register(2, 7, 2048, id), CapiNoError);
        applId = static_cast<uint16_t>(id);
    }
    std::vector<uint8_t> LastPut() {
        auto puts = line.Puts();
        return puts.empty() ? std::vector<uint8_t>{} : puts.back();
    }

    SimulatedLine line;
    cmsg c;
    uint16_t applId = 0;
};

TEST_F(Builders, ConnectRespIgnoringTheCall) {
    ASSERT_EQ(CONNECT_RESP(line, c, applId, 0x0102, 0x00030201, 1, 0, 0, 0, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              CapiNoError);
    EXPECT_EQ(LastPut(), Hex("20 00 05 00 02 83 02 01 01 02 03 00 01 00"
                             " 09 00 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 00"));
}

TEST_F(Builders, DisconnectResp) {
    ASSERT_EQ(DISCONNECT_RESP(line, c, applId, 0x44, 0x00010201), CapiNoError);
    EXPECT_EQ(LastPut(), Hex("0C 00 05 00 04 83 44 00 01 02 01 00"));
}

TEST_F(Builders, PutFailureIsReturned) {
    line.SetPutResult([](const std::vector<uint8_t>&) { return CapiSendQueueFull; });
    EXPECT_EQ(DISCONNECT_RESP(line, c, applId, 1, 1), CapiSendQueueFull);
    EXPECT_TRUE(line.Puts().empty());
}

} // namespace
