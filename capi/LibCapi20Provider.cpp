#include "capi/LibCapi20Provider.h"

#include "capi/CapiErrors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace {

// libcapi20's own limit for one CAPI message (128 octets of message plus 2048 of data).
constexpr std::size_t kLibCapi20MessageLimit = 128 + 2048;
// A CAPI message's header; the library's buffer always holds at least this much.
constexpr std::size_t kCapiHeaderOctets = 8;
// The remote driver reads a frame (a 2-octet big-endian length that counts itself, then the
// message) into a buffer of this size on its stack.
constexpr std::size_t kRcapiFrameBuffer = 4096;
// How many octets of a refused frame are kept for telling.
constexpr std::size_t kRefusedOctetsKept = 16;

// libcapi20's own prototypes, declared here so the build does not need its headers.
extern "C" {
using RegisterFn = unsigned (*)(unsigned, unsigned, unsigned, unsigned*);
using ReleaseFn = unsigned (*)(unsigned);
using PutMessageFn = unsigned (*)(unsigned, unsigned char*);
using GetMessageFn = unsigned (*)(unsigned, unsigned char**);
using WaitForMessageFn = unsigned (*)(unsigned, struct timeval*);
using FillBufferFn = unsigned char* (*)(unsigned, unsigned char*);
using GetProfileFn = unsigned (*)(unsigned, unsigned char*);
using IsInstalledFn = unsigned (*)();
using FilenoFn = int (*)(unsigned);
using SetTextFn = void (*)(char*);
using SetNumberFn = void (*)(int);
}

struct LibCapi20Functions {
    RegisterFn registerApplication;
    ReleaseFn release;
    PutMessageFn putMessage;
    GetMessageFn getMessage;
    WaitForMessageFn waitForMessage;
    FillBufferFn getManufacturer;
    FillBufferFn getVersion;
    FillBufferFn getSerialNumber;
    GetProfileFn getProfile;
    IsInstalledFn isInstalled;
    FilenoFn fileno;
    SetTextFn setDriver;
    SetTextFn setHost;
    SetNumberFn setPort;
    SetNumberFn setTraceLevel;
};

template <typename T> bool Resolve(void* library, const char* name, T& function) {
    function = reinterpret_cast<T>(dlsym(library, name));
    return function != nullptr;
}

class LibCapi20Provider : public CapiProvider {
public:
    LibCapi20Provider(const LibCapi20Functions& f, const std::optional<CapiRemoteServer>& remote)
        : f(f), rcapi(remote && remote->driver == "rcapi") {
        // The setters keep our pointers, so the texts live as long as this object.
        if (remote) {
            driver = remote->driver;
            host = remote->host;
            f.setDriver(driver.data());
            f.setHost(host.data());
            f.setPort(static_cast<int>(remote->port));
        }
        f.setTraceLevel(0);
    }
    // libcapi20 is never unloaded: its exit handlers and shared tables belong to the process.
    ~LibCapi20Provider() override = default;

    unsigned Register(unsigned maxLogicalConnection, unsigned maxBDataBlocks, unsigned maxBDataLen,
                      unsigned& applId) override {
        applId = 0;
        return f.registerApplication(maxLogicalConnection, maxBDataBlocks, maxBDataLen, &applId);
    }
    unsigned Release(unsigned applId) override { return f.release(applId); }
    unsigned PutMessage(unsigned applId, const uint8_t* message) override {
        return f.putMessage(applId, const_cast<unsigned char*>(message));
    }
    unsigned GetMessage(unsigned applId, std::span<const uint8_t>& message) override {
        if (rcapi && RefuseNextFrame(applId)) {
            message = std::span<const uint8_t>(refused.data(), refusedSize);
            return CapiIllegalCommand;
        }
        unsigned char* buffer = nullptr;
        unsigned result = f.getMessage(applId, &buffer);
        if (result != CapiNoError)
            return result;
        if (buffer == nullptr)
            return CapiReceiveQueueEmpty;
        // The library hands out no size; the message's own length is all there is to go by,
        // capped at the message buffer every libcapi20 driver keeps, so a lying length octet
        // from a server makes the message too short to decode instead of a read past the end.
        // A length below the header still hands over the header, so what cannot be decoded can
        // be told by its first octets.
        std::size_t length = buffer[0] | (buffer[1] << 8);
        message = std::span<const uint8_t>(
            buffer, std::clamp(length, kCapiHeaderOctets, kLibCapi20MessageLimit));
        return CapiNoError;
    }
    unsigned WaitForMessage(unsigned applId, std::chrono::milliseconds timeout) override {
        struct timeval tv;
        tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
        tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
        return f.waitForMessage(applId, &tv);
    }
    uint8_t* GetManufacturer(unsigned controller, uint8_t* buffer64) override {
        return f.getManufacturer(controller, buffer64);
    }
    uint8_t* GetVersion(unsigned controller, uint8_t* buffer16) override {
        return f.getVersion(controller, buffer16);
    }
    uint8_t* GetSerialNumber(unsigned controller, uint8_t* buffer8) override {
        return f.getSerialNumber(controller, buffer8);
    }
    unsigned GetProfile(unsigned controller, uint8_t* buffer64) override {
        return f.getProfile(controller, buffer64);
    }
    unsigned IsInstalled() override { return f.isInstalled(); }

    bool IsConnectionLost(unsigned applId) override {
        int fd = f.fileno(applId);
        if (fd < 0)
            return false;
        char octet;
        ssize_t got = recv(fd, &octet, 1, MSG_PEEK | MSG_DONTWAIT);
        if (got == 0)
            return true; // the server closed the connection
        if (got > 0)
            return false;
        // A local device is no socket; only a broken connection counts as lost.
        return errno == ECONNRESET || errno == ENOTCONN || errno == EPIPE;
    }

private:
    // True when the next frame on the remote connection is one the remote driver cannot take:
    // shorter than a CAPI header (a length below 2 makes it read for ever and eat the frames
    // after it) or longer than its buffer (it overruns its stack). Such a frame is left to the
    // connection, which the line then gives up; its first octets are kept in `refused`.
    bool RefuseNextFrame(unsigned applId) {
        const int fd = f.fileno(applId);
        if (fd < 0)
            return false;
        const ssize_t got = recv(fd, refused.data(), refused.size(), MSG_PEEK | MSG_DONTWAIT);
        if (got < 2)
            return false; // nothing, or not yet the whole length: the library waits for it
        const std::size_t length = static_cast<std::size_t>(refused[0] << 8 | refused[1]);
        if (length >= 2 + kCapiHeaderOctets && length - 2 <= kRcapiFrameBuffer)
            return false;
        refusedSize = static_cast<std::size_t>(got);
        return true;
    }

    LibCapi20Functions f;
    bool rcapi;
    std::array<uint8_t, kRefusedOctetsKept> refused{};
    std::size_t refusedSize = 0;
    std::string driver;
    std::string host;
};

} // namespace

std::unique_ptr<CapiProvider> LoadLibCapi20(const std::optional<CapiRemoteServer>& remote) {
    std::signal(SIGPIPE, SIG_IGN);
    void* library = dlopen("libcapi20.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    LibCapi20Functions f{};
    bool complete = Resolve(library, "capi20_register", f.registerApplication) &&
                    Resolve(library, "capi20_release", f.release) &&
                    Resolve(library, "capi20_put_message", f.putMessage) &&
                    Resolve(library, "capi20_get_message", f.getMessage) &&
                    Resolve(library, "capi20_waitformessage", f.waitForMessage) &&
                    Resolve(library, "capi20_get_manufacturer", f.getManufacturer) &&
                    Resolve(library, "capi20_get_version", f.getVersion) &&
                    Resolve(library, "capi20_get_serial_number", f.getSerialNumber) &&
                    Resolve(library, "capi20_get_profile", f.getProfile) &&
                    Resolve(library, "capi20_isinstalled", f.isInstalled) &&
                    Resolve(library, "capi20_fileno", f.fileno) &&
                    Resolve(library, "capi20ext_set_driver", f.setDriver) &&
                    Resolve(library, "capi20ext_set_host", f.setHost) &&
                    Resolve(library, "capi20ext_set_port", f.setPort) &&
                    Resolve(library, "capi20ext_set_tracelevel", f.setTraceLevel);
    if (!complete) {
        dlclose(library);
        return nullptr;
    }
    return std::make_unique<LibCapi20Provider>(f, remote);
}
