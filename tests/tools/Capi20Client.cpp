// A small application of the real libcapi20, for checking tavo-capi-peer against the library
// the monitor uses. It registers, listens on every controller, answers each call the way the
// monitor does (ignore it) and prints what it sees, one line each:
//   installed 0xNNNN | controllers N | manufacturer TEXT | version A.B C.D | serial TEXT
//   registered | register-error 0xNNNN | listen-error 0xNNNN
//   message HEX (each message received) | lost (the server closed the connection)
//   released 0xNNNN
// Usage: capi20-client PORT [extra-listen-controller]. It ends on "quit" or end of input.
// The library may block for ever against a silent server; the test that runs this program
// keeps the watchdog.
#include <capi20.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Hex(const unsigned char* bytes, size_t size) {
    std::string text;
    char pair[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02X" : "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

std::string Code(const char* what, unsigned code) {
    char text[64];
    std::snprintf(text, sizeof text, "%s 0x%04X", what, code);
    return text;
}

// The send buffer is as large as a CAPI message may be, so no driver reads past it.
unsigned char sendBuffer[4096];

unsigned Put(unsigned applId, const unsigned char* message, size_t size) {
    std::memset(sendBuffer, 0, sizeof sendBuffer);
    std::memcpy(sendBuffer, message, size);
    return capi20_put_message(applId, sendBuffer);
}

unsigned Listen(unsigned applId, unsigned controller) {
    unsigned char m[26] = {26, 0, static_cast<unsigned char>(applId), 0, 0x05, 0x80, 0, 0};
    m[8] = static_cast<unsigned char>(controller);
    m[16] = 0xFF; // CIP mask 0x1FFF03FF
    m[17] = 0x03;
    m[18] = 0xFF;
    m[19] = 0x1F;
    return Put(applId, m, sizeof m);
}

void Answer(unsigned applId, const unsigned char* in) {
    unsigned char m[32] = {};
    if (in[4] == 0x02 && in[5] == 0x82) { // CONNECT_IND: ignore the call
        unsigned char r[32] = {32,     0, 0, 0, 0x02, 0x83, in[6], in[7], in[8], in[9], in[10],
                               in[11], 1, 0, 9, 0,    0,    0,     0,     0,     0,     0,
                               0,      0, 0, 0, 0,    4,    0,     0,     0,     0};
        std::memcpy(m, r, sizeof r);
        m[2] = static_cast<unsigned char>(applId);
        m[3] = static_cast<unsigned char>(applId >> 8);
        Put(applId, m, 32);
    } else if (in[4] == 0x04 && in[5] == 0x82) { // DISCONNECT_IND
        unsigned char r[12] = {12, 0, 0, 0, 0x04, 0x83, in[6], in[7], in[8], in[9], in[10], in[11]};
        r[2] = static_cast<unsigned char>(applId);
        r[3] = static_cast<unsigned char>(applId >> 8);
        Put(applId, r, sizeof r);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    capi20ext_set_driver(const_cast<char*>("rcapi"));
    capi20ext_set_host(const_cast<char*>("127.0.0.1"));
    capi20ext_set_port(std::atoi(argv[1]));
    capi20ext_set_tracelevel(0);
    unsigned extraController = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 0;

    Say(Code("installed", capi20_isinstalled()));
    unsigned char profile[64] = {};
    unsigned rc = capi20_get_profile(0, profile);
    if (rc != 0) {
        Say(Code("profile-error", rc));
        return 1;
    }
    unsigned controllers = profile[0] | profile[1] << 8;
    Say("controllers " + std::to_string(controllers));
    unsigned char text[128] = {};
    capi20_get_manufacturer(0, text);
    Say(std::string("manufacturer ") + reinterpret_cast<char*>(text));
    unsigned char version[16] = {};
    capi20_get_version(0, version);
    Say("version " + std::to_string(version[0]) + "." + std::to_string(version[4]) + " " +
        std::to_string(version[8]) + "." + std::to_string(version[12]));
    std::memset(text, 0, sizeof text);
    capi20_get_serial_number(0, text);
    Say(std::string("serial ") + reinterpret_cast<char*>(text));

    unsigned applId = 0;
    rc = capi20_register(2, 7, 2048, &applId);
    if (rc != 0) {
        Say(Code("register-error", rc));
        return 3;
    }
    Say("registered");
    for (unsigned k = 1; k <= controllers; ++k)
        if ((rc = Listen(applId, k)) != 0)
            Say(Code("listen-error", rc));
    if (extraController && (rc = Listen(applId, extraController)) != 0)
        Say(Code("listen-error", rc));

    int socket = capi20_fileno(applId);
    std::string input;
    while (true) {
        fd_set read;
        FD_ZERO(&read);
        FD_SET(0, &read);
        FD_SET(socket, &read);
        if (::select(socket + 1, &read, nullptr, nullptr, nullptr) < 0)
            break;
        if (FD_ISSET(socket, &read)) {
            char peek;
            if (::recv(socket, &peek, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
                Say("lost");
                break;
            }
            unsigned char* message = nullptr;
            if (capi20_get_message(applId, &message) == 0) {
                Say("message " + Hex(message, message[0] | message[1] << 8));
                Answer(applId, message);
            }
        }
        if (FD_ISSET(0, &read)) {
            char chunk[256];
            ssize_t n = ::read(0, chunk, sizeof chunk);
            if (n <= 0)
                break;
            input.append(chunk, static_cast<size_t>(n));
            if (input.find("quit") != std::string::npos)
                break;
        }
    }
    Say(Code("released", capi20_release(applId)));
    return 0;
}
