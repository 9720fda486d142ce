#include "capi/LibCapi20Provider.h"

#include "capi/CapiErrors.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace {

// libcapi20's own limit for one CAPI message (128 octets of message plus 2048 of data).
constexpr std::size_t kLibCapi20MessageLimit = 128 + 2048;

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
        : f(f) {
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
        unsigned char* buffer = nullptr;
        unsigned result = f.getMessage(applId, &buffer);
        if (result != CapiNoError)
            return result;
        if (buffer == nullptr)
            return CapiReceiveQueueEmpty;
        // The library hands out no size; the message's own length is all there is to go by,
        // capped at the message buffer every libcapi20 driver keeps, so a lying length octet
        // from a server makes the message too short to decode instead of a read past the end.
        std::size_t length = buffer[0] | (buffer[1] << 8);
        message = std::span<const uint8_t>(buffer, std::min(length, kLibCapi20MessageLimit));
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
    LibCapi20Functions f;
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
