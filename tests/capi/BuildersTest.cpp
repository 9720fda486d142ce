#include "WireBytes.h"
#include "capi/CapiErrors.h"
#include "capi/SimulatedLine.h"
#include "capi/msgBuilders.h"

#include <gtest/gtest.h>

#include <functional>

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

TEST_F(Builders, DisconnectRespAndListenReq) {
    ASSERT_EQ(DISCONNECT_RESP(line, c, applId, 0x44, 0x00010201), CapiNoError);
    EXPECT_EQ(LastPut(), Hex("0C 00 05 00 04 83 44 00 01 02 01 00"));
    ASSERT_EQ(LISTEN_REQ(line, c, applId, 0, 1, 0, 0x1FFF03FF, 0, nullptr, nullptr), CapiNoError);
    EXPECT_EQ(LastPut(), Hex("1A 00 05 00 05 80 00 00 01 00 00 00 00 00 00 00"
                             " FF 03 FF 1F 00 00 00 00 00 00"));
}

TEST_F(Builders, ConnectReqPutsItsParametersInWireOrder) {
    const auto called = Hex("03 80 31 32");
    const auto calling = Hex("02 21 80");
    const auto b2conf = Hex("01 B2");
    const auto bc = Hex("01 BC");
    const auto hlc = Hex("01 4C");
    const auto keypad = Hex("01 2A");
    ASSERT_EQ(CONNECT_REQ(line, c, applId, 1, 1, 16, called.data(), calling.data(), nullptr,
                          nullptr, 1, 2, 3, nullptr, b2conf.data(), nullptr, bc.data(), nullptr,
                          hlc.data(), nullptr, keypad.data(), nullptr, nullptr),
              CapiNoError);
    EXPECT_EQ(LastPut(), Hex("2D 00 05 00 02 80 01 00 01 00 00 00 10 00"
                             " 03 80 31 32  02 21 80  00  00"
                             " 0A 01 00 02 00 03 00 00 01 B2 00"
                             " 01 BC  00  01 4C"
                             " 05 00 01 2A 00 00"));
}

TEST_F(Builders, EveryBuilderSendsItsOwnMessage) {
    struct Case {
        const char* name;
        std::function<unsigned()> build;
        uint8_t command;
        uint8_t subcommand;
        std::size_t length;
    };
    const uint16_t id = applId;
    const std::vector<Case> cases = {
        {"ALERT_REQ",
         [&] { return ALERT_REQ(line, c, id, 1, 1, nullptr, nullptr, nullptr, nullptr); }, 0x01,
         0x80, 17},
        {"CONNECT_REQ",
         [&] {
             return CONNECT_REQ(line, c, id, 1, 1, 1, nullptr, nullptr, nullptr, nullptr, 0, 0, 0,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr);
         },
         0x02, 0x80, 36},
        {"DISCONNECT_REQ",
         [&] { return DISCONNECT_REQ(line, c, id, 1, 1, nullptr, nullptr, nullptr, nullptr); },
         0x04, 0x80, 17},
        {"LISTEN_REQ", [&] { return LISTEN_REQ(line, c, id, 1, 1, 0, 0, 0, nullptr, nullptr); },
         0x05, 0x80, 26},
        {"INFO_REQ",
         [&] { return INFO_REQ(line, c, id, 1, 1, nullptr, nullptr, nullptr, nullptr, nullptr); },
         0x08, 0x80, 18},
        {"FACILITY_REQ", [&] { return FACILITY_REQ(line, c, id, 1, 1, 0, nullptr); }, 0x80, 0x80,
         15},
        {"SELECT_B_PROTOCOL_REQ",
         [&] {
             return SELECT_B_PROTOCOL_REQ(line, c, id, 1, 1, 0, 0, 0, nullptr, nullptr, nullptr);
         },
         0x41, 0x80, 22},
        {"CONNECT_B3_REQ", [&] { return CONNECT_B3_REQ(line, c, id, 1, 1, nullptr); }, 0x82, 0x80,
         13},
        {"DISCONNECT_B3_REQ", [&] { return DISCONNECT_B3_REQ(line, c, id, 1, 1, nullptr); }, 0x84,
         0x80, 13},
        {"RESET_B3_REQ", [&] { return RESET_B3_REQ(line, c, id, 1, 1, nullptr); }, 0x87, 0x80, 13},
        {"DATA_B3_REQ", [&] { return DATA_B3_REQ(line, c, id, 1, 1, 0, 0, 0, 0); }, 0x86, 0x80, 22},
        {"MANUFACTURER_REQ", [&] { return MANUFACTURER_REQ(line, c, id, 1, 1, 0, 0, 0, nullptr); },
         0xFF, 0x80, 25},
        {"CONNECT_RESP",
         [&] {
             return CONNECT_RESP(line, c, id, 1, 1, 1, 0, 0, 0, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
         },
         0x02, 0x83, 32},
        {"CONNECT_ACTIVE_RESP", [&] { return CONNECT_ACTIVE_RESP(line, c, id, 1, 1); }, 0x03, 0x83,
         12},
        {"DISCONNECT_RESP", [&] { return DISCONNECT_RESP(line, c, id, 1, 1); }, 0x04, 0x83, 12},
        {"INFO_RESP", [&] { return INFO_RESP(line, c, id, 1, 1); }, 0x08, 0x83, 12},
        {"FACILITY_RESP", [&] { return FACILITY_RESP(line, c, id, 1, 1, 0, nullptr); }, 0x80, 0x83,
         15},
        {"CONNECT_B3_RESP", [&] { return CONNECT_B3_RESP(line, c, id, 1, 1, 0, nullptr); }, 0x82,
         0x83, 15},
        {"CONNECT_B3_ACTIVE_RESP", [&] { return CONNECT_B3_ACTIVE_RESP(line, c, id, 1, 1); }, 0x83,
         0x83, 12},
        {"CONNECT_B3_T90_ACTIVE_RESP",
         [&] { return CONNECT_B3_T90_ACTIVE_RESP(line, c, id, 1, 1); }, 0x88, 0x83, 12},
        {"DISCONNECT_B3_RESP", [&] { return DISCONNECT_B3_RESP(line, c, id, 1, 1); }, 0x84, 0x83,
         12},
        {"RESET_B3_RESP", [&] { return RESET_B3_RESP(line, c, id, 1, 1); }, 0x87, 0x83, 12},
        {"DATA_B3_RESP", [&] { return DATA_B3_RESP(line, c, id, 1, 1, 7); }, 0x86, 0x83, 14},
        {"MANUFACTURER_RESP",
         [&] { return MANUFACTURER_RESP(line, c, id, 1, 1, 0, 0, 0, nullptr); }, 0xFF, 0x83, 25},
    };
    for (const Case& k : cases) {
        ASSERT_EQ(k.build(), CapiNoError) << k.name;
        std::vector<uint8_t> m = LastPut();
        ASSERT_EQ(m.size(), k.length) << k.name;
        EXPECT_EQ(m[2] | (m[3] << 8), applId) << k.name;
        EXPECT_EQ(m[4], k.command) << k.name;
        EXPECT_EQ(m[5], k.subcommand) << k.name;
    }
}

TEST_F(Builders, PutFailureIsReturned) {
    line.SetPutResult([](const std::vector<uint8_t>&) { return CapiSendQueueFull; });
    EXPECT_EQ(DISCONNECT_RESP(line, c, applId, 1, 1), CapiSendQueueFull);
    EXPECT_TRUE(line.Puts().empty());
}

} // namespace
