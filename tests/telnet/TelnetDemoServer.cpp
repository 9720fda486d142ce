// A telnet server with a few sample calls, for trying the dialogue with a real client:
//   telnet_demo_server PORT [USERID PASSWORD]   (runs until standard input closes)

#include "telnet/TelnetServer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {
void Add(Directory& list, const char* number, const char* name) {
    CallRecord entry;
    entry.key = number;
    entry.value = name;
    list.append(entry);
}

void AddCall(CallList& calls, std::time_t when, const char* msn, const char* caller, int cip) {
    CallRecord call;
    call.hasTime = true;
    call.callTime = static_cast<int32_t>(when);
    call.key = msn;
    call.value = caller;
    call.cipValue = cip;
    call.repeatCount = 1;
    calls.append(call);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s PORT [USERID PASSWORD]\n", argv[0]);
        return 2;
    }
    GuardedLists lists;
    Add(lists.Write()->msnList, "5551", "Office");
    Add(lists.Write()->phoneBook, "0301234567", "Alice Example");
    const std::time_t now = std::time(nullptr);
    AddCall(lists.Write()->callList, now - 86400 - 3600, "5551", "0891112222", 16);
    AddCall(lists.Write()->callList, now - 120, "5551", "0301234567", 1);
    AddCall(lists.Write()->callList, now - 60, "5552", "0", 0);
    AddCall(lists.Write()->callList, now - 30, "5551", "*", 4);

    GuardedSettings settings;
    SetDefaultSettings(*settings.Write());
    {
        const auto stored = settings.Write();
        stored->telnetEnabled = 1;
        stored->telnetPort = std::atoi(argv[1]);
        if (argc == 4) {
            std::snprintf(stored->telnetUserId, sizeof stored->telnetUserId, "%s", argv[2]);
            std::snprintf(stored->telnetPassword, sizeof stored->telnetPassword, "%s", argv[3]);
        }
    }
    TelnetServer server({lists}, settings);
    server.RestartTelnetServer(settings.Read()->telnetPort);
    if (!server.IsRunning())
        return 1;
    std::fprintf(stderr, "listening on port %d\n", server.ListeningPort());
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
