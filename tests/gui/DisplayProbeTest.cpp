#include "gui/DisplayProbe.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A listening Unix socket at `path` for as long as it lives.
struct UnixListener {
    int fd = -1;
    explicit UnixListener(const std::string& path) {
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd, 4), 0);
    }
    ~UnixListener() { close(fd); }
};

// A listening TCP socket on a free port of the loopback address.
struct TcpListener {
    int fd = -1;
    int port = 0;
    TcpListener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd, 4), 0);
        socklen_t length = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~TcpListener() { close(fd); }
};

TEST(DisplayProbe, AWaylandSocketAnswersOnlyWhileItListens) {
    QTemporaryDir runtime;
    const std::string dir = runtime.path().toStdString();
    EXPECT_FALSE(WaylandDisplayReachable("wayland-7", dir));
    {
        UnixListener compositor(dir + "/wayland-7");
        EXPECT_TRUE(WaylandDisplayReachable("wayland-7", dir));
        EXPECT_TRUE(WaylandDisplayReachable(dir + "/wayland-7", ""));
        EXPECT_FALSE(WaylandDisplayReachable("wayland-7", "")); // no runtime directory
        const DisplayEnvironment onlyWayland{":59000", "wayland-7", dir, ""};
        EXPECT_EQ(ChooseGuiPlatform(onlyWayland), "wayland");
        // Told to use X, which is not there: headless rather than an abort.
        EXPECT_EQ(ChooseGuiPlatform({":59000", "wayland-7", dir, "xcb"}), std::nullopt);
    }
    EXPECT_FALSE(WaylandDisplayReachable("wayland-7", dir)); // the socket file is still there
}

TEST(DisplayProbe, AnXDisplayOverTcpAnswersOnlyWhileItListens) {
    std::string display;
    {
        TcpListener server;
        ASSERT_GT(server.port, 6000);
        display = "127.0.0.1:" + std::to_string(server.port - 6000) + ".0";
        EXPECT_TRUE(XDisplayReachable(display));
        EXPECT_EQ(ChooseGuiPlatform({display, "", "", ""}), "xcb");
    }
    EXPECT_FALSE(XDisplayReachable(display));
    EXPECT_EQ(ChooseGuiPlatform({display, "gone-0", "/nonexistent", ""}), std::nullopt);
}

TEST(DisplayProbe, NamesThatAreNoDisplayAndPlatformsWithoutOne) {
    EXPECT_FALSE(XDisplayReachable(""));
    EXPECT_FALSE(XDisplayReachable("nonsense"));
    EXPECT_FALSE(XDisplayReachable(":"));
    EXPECT_FALSE(XDisplayReachable(":59001")); // no such local server
    EXPECT_EQ(ChooseGuiPlatform({"", "", "", ""}), std::nullopt);
    // Chosen by hand and needing no display server.
    EXPECT_EQ(ChooseGuiPlatform({":59001", "", "", "offscreen"}), "offscreen");
}

} // namespace
