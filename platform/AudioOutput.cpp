#include "platform/AudioOutput.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

bool AudioOutputLikely() {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (const char* server = std::getenv("PULSE_SERVER"); server && *server)
        return true;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        const fs::path dir(runtime);
        if (fs::exists(dir / "pulse" / "native", ec) || fs::exists(dir / "pipewire-0", ec))
            return true;
    }
    for (const auto& entry : fs::directory_iterator("/dev/snd", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("pcm", 0) == 0 && name.back() == 'p')
            return true;
    }
    return false;
}
