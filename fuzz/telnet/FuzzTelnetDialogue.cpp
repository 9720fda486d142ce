// Any bytes as what a telnet client sends. The first byte picks whether a logon is asked for;
// the rest goes to the server's dialogue over a socket pair, as a client would send it. The
// dialogue must end once the bytes do, its transcript must begin with the offer and the
// banner, and a logon must only succeed when the user id and password were typed. The same
// bytes fed to the protocol alone may only ever be answered with whole negotiations.
#include "telnet/TelnetDialogue.h"
#include "telnet/TelnetTexts.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

CallList& Calls() {
    static CallList calls = [] {
        CallList list;
        CallRecord call;
        call.hasTime = true;
        call.callTime = 1767268700;
        call.key = "555";
        call.value = "0301234";
        call.cipValue = 1;
        list.append(call);
        call.value = "03\r\n\x1b]0;x\x07";
        list.append(call);
        return list;
    }();
    return calls;
}

Directory& PhoneBook() {
    static Directory book = [] {
        Directory directory;
        CallRecord entry;
        entry.key = "0301234";
        entry.value = "Eve\r\n\x1b[2J\x7f";
        directory.append(entry);
        return directory;
    }();
    return book;
}

// The typed bytes, lower case.
std::string CheckProtocolAlone(std::string_view bytes) {
    TelnetProtocol protocol;
    std::string answers;
    std::string typed;
    for (char c : bytes) {
        const int byte = protocol.Take(static_cast<unsigned char>(c), answers);
        if (byte > 255)
            std::abort();
        if (byte >= 0)
            typed += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
    }
    if (answers.size() % 3 != 0)
        std::abort();
    for (size_t i = 0; i < answers.size(); i += 3) {
        const auto verb = static_cast<unsigned char>(answers[i + 1]);
        if (static_cast<unsigned char>(answers[i]) != telnet::IAC || verb < telnet::WILL)
            std::abort();
    }
    return typed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool withLogon = data[0] & 1;
    const std::string keys(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string typed = CheckProtocolAlone(keys);

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return 0;
    std::string transcript;
    std::thread client([&] {
        (void)!write(ends[0], keys.data(), keys.size());
        shutdown(ends[0], SHUT_WR);
        char buffer[65536];
        ssize_t n;
        while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
            transcript.append(buffer, static_cast<size_t>(n));
    });
    Directory msnList;
    const TelnetLogon logon = withLogon ? TelnetLogon{"admin", "pw"} : TelnetLogon{};
    TelnetLogonResult result;
    {
        TelnetConnection connection(ends[1]);
        connection.OfferOptions();
        result = RunTelnetDialogue(connection, logon, {Calls(), PhoneBook(), msnList},
                                   [] { return std::time_t{1767268800}; });
    }
    shutdown(ends[1], SHUT_RDWR);
    client.join();
    close(ends[0]);
    close(ends[1]);

    const std::string greeting = std::string("\xff\xfb\x01\xff\xfb\x03") +
                                 std::string(kTelnetTitle) + std::string(kTelnetTitleEnd);
    if (transcript.compare(0, greeting.size(), greeting) != 0)
        std::abort();
    if (withLogon && result == TelnetLogonResult::LoggedOn &&
        (typed.find("admin") == std::string::npos || typed.find("pw") == std::string::npos))
        std::abort();
    // An escape sequence from the lists never reaches the client: an ESC it gets is the echo
    // of its own.
    if (keys.find('\x1b') == std::string::npos && transcript.find('\x1b') != std::string::npos)
        std::abort();
    return 0;
}
