// The monitor over the real libcapi20 and its module for home routers, against
// `tavo-capi-peer --protocol router`: CAPI over TCP as a router serves it.
#include "MonitorScene.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr uint8_t CmdConnect = 0x02, CmdListen = 0x05;
constexpr uint8_t Req = 0x80, Conf = 0x81, Resp = 0x83;

// libcapi20's remote module beside rcapi, by its file in the module folder: the driver name
// --capi-remote takes. Empty when libcapi20 has none.
std::string RouterModule() {
    for (const char* folder : {"/usr/lib/x86_64-linux-gnu/capi", "/usr/lib/aarch64-linux-gnu/capi",
                               "/usr/lib/capi"}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            const std::string prefix = "lib_capi_mod_";
            if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 3 ||
                name.substr(name.size() - 3) != ".so")
                continue;
            const std::string driver = name.substr(prefix.size(), name.size() - prefix.size() - 3);
            if (driver != "rcapi" && driver != "std" && driver != "misdn")
                return driver;
        }
    }
    return {};
}

class RouterCapi : public ::testing::Test {
protected:
    void SetUp() override {
        scene.driver = RouterModule();
        if (scene.driver.empty())
            GTEST_SKIP() << "libcapi20 has no module for routers here";
        ASSERT_NE(scene.StartPeer({"--protocol", "router"}), 0u) << scene.Transcript();
        ASSERT_TRUE(scene.StartMonitor(scene.port));
        auto id = scene.WaitRegistered();
        ASSERT_TRUE(id) << scene.Transcript();
        applId = *id;
        ASSERT_TRUE(scene.WaitMessage('<', CmdListen, Req)) << scene.Transcript();
        ASSERT_TRUE(scene.WaitMessage('>', CmdListen, Conf)) << scene.Transcript();
    }

    MonitorScene scene;
    uint16_t applId = 0;
};

TEST_F(RouterCapi, CallsAndWithheldCallsThroughTheRoutersModule) {
    auto ind = scene.Ring("5551 301234567 cip=16 plci=0x00000101");
    ASSERT_TRUE(ind) << scene.Transcript();
    auto resp = scene.WaitMessage('<', CmdConnect, Resp);
    ASSERT_TRUE(resp) << scene.Transcript();
    EXPECT_EQ(FormatHex(resp->bytes), FormatHex(IgnoreCallResponse(applId, *ind)));
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0301234567", "5551", 0x101, 16))
        << scene.Transcript();

    ASSERT_TRUE(scene.Ring("5552 301234 pres=0xA0 plci=0x00000201")) << scene.Transcript();
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("0", "5552", 0x201, 16))
        << scene.Transcript();
}

TEST_F(RouterCapi, TheLineComesBackAfterTheRouterDropsIt) {
    ASSERT_TRUE(scene.peer.WriteLine("drop"));
    ASSERT_TRUE(scene.WaitMonitorError("listening again")) << scene.Transcript();
    ASSERT_TRUE(scene.WaitRegistered()) << scene.Transcript();
    ASSERT_TRUE(scene.Ring("5551 40123 plci=0x00000301")) << scene.Transcript();
    EXPECT_EQ(scene.WaitCallLine(), MonitorScene::CallLine("040123", "5551", 0x301, 16))
        << scene.Transcript();
}

} // namespace
