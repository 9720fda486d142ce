#include "HandlerTestSupport.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <unistd.h>

TempDataDir::TempDataDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavo-handler-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
    previous = std::filesystem::current_path();
    std::filesystem::current_path(path);
}

TempDataDir::~TempDataDir() {
    std::error_code error;
    std::filesystem::current_path(previous, error);
    std::filesystem::remove_all(path, error);
}

std::string TempDataDir::Read(const std::string& name) const {
    std::ifstream in(path / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDataDir::Exists(const std::string& name) const {
    return std::filesystem::exists(path / name);
}

void UseUtc() {
    setenv("TZ", "UTC", 1);
    tzset();
}

DirectoryEntry Entry(const std::string& key, const std::string& value,
                     std::optional<std::string> speakText) {
    DirectoryEntry entry;
    entry.key = key;
    entry.value = value;
    entry.speakText = std::move(speakText);
    return entry;
}
