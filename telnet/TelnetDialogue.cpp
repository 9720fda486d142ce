#include "telnet/TelnetDialogue.h"

#include "platform/Text.h"
#include "telnet/TelnetListing.h"
#include "telnet/TelnetTexts.h"

#include <vector>

namespace {
// Waits for the verdict as the gate asks, within the logon's deadline.
void AwaitVerdict(TelnetConnection& client, const TelnetLogonGate& gate) {
    if (!gate.wait)
        return;
    const std::chrono::milliseconds wait = gate.wait();
    if (wait.count() > 0)
        client.Pause(wait);
}

bool LooksLikeRequestLine(const std::string& line) {
    // "GET / HTTP/1.1": a method in capitals, a target, the protocol's name.
    const size_t space = line.find(' ');
    if (space == std::string::npos || space == 0 || space > 16)
        return false;
    for (size_t i = 0; i < space; ++i)
        if (line[i] < 'A' || line[i] > 'Z')
            return false;
    return line.find(" HTTP/", space) != std::string::npos;
}
} // namespace

bool PlausibleUserId(const std::string& line) {
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return false;
    }
    return !LooksLikeRequestLine(line) && line.rfind("SSH-", 0) != 0;
}

std::optional<std::string> ReadLine(TelnetConnection& client, bool echo) {
    std::string line;
    for (;;) {
        int byte = client.ReceiveByte();
        if (byte < 0)
            return std::nullopt;
        if (echo)
            client.Send(static_cast<char>(byte));
        if (byte == '\n')
            break;
        // One byte beyond the kept width leaves room for the CR of the line end.
        if (line.size() <= kTelnetLineWidth)
            line += static_cast<char>(byte);
    }
    // Only a CR is the client's line end; a client that ends lines with LF alone keeps its
    // last character.
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kTelnetLineWidth)
        line.resize(kTelnetLineWidth);
    return line;
}

TelnetLogonResult TelnetLogin(TelnetConnection& client, const TelnetLogon& logon,
                              const TelnetLogonGate& gate) {
    client.Send(kTelnetUserIdPrompt);
    std::optional<std::string> userId = ReadLine(client, true);
    if (!userId)
        return TelnetLogonResult::Ended;
    if (!EqualIgnoringCase(*userId, logon.userId)) {
        if (!PlausibleUserId(*userId))
            return TelnetLogonResult::NotALogon;
        AwaitVerdict(client, gate);
        return client.Ended() ? TelnetLogonResult::Ended : TelnetLogonResult::Refused;
    }
    client.Send(kTelnetPasswordPrompt);
    std::optional<std::string> password = ReadLine(client, false);
    if (!password)
        return TelnetLogonResult::Ended;
    AwaitVerdict(client, gate);
    if (client.Ended())
        return TelnetLogonResult::Ended;
    bool loggedOn = EqualIgnoringCase(*password, logon.password);
    client.Send(kTelnetAfterLogon);
    return loggedOn ? TelnetLogonResult::LoggedOn : TelnetLogonResult::Refused;
}

void SendMenu(TelnetConnection& client) {
    client.Send(kTelnetMenu);
}

void SendCallList(TelnetConnection& client, int day, TelnetSources sources,
                  const TelnetClock& clock) {
    const ListingDay range = ListingDayRange(day, clock());
    std::vector<std::string> pieces;
    {
        // Only the building of the lines holds the lock: sending to a slow client must never
        // keep the main window from recording a call.
        const auto lists = sources.lists.Read();
        pieces = BuildCallListing(range, lists->callList, lists->msnList, lists->phoneBook);
    }
    for (const std::string& piece : pieces)
        client.Send(piece);
}

void SendGoodbye(TelnetConnection& client) {
    client.Send(kTelnetGoodbye);
}

void RunMenuLoop(TelnetConnection& client, TelnetSources sources, const TelnetClock& clock,
                 std::chrono::milliseconds idle) {
    client.EndAt(TelnetConnection::Clock::now() + idle);
    for (;;) {
        int byte = client.ReceiveByte();
        if (byte < 0)
            return;
        switch (byte) {
        case '1':
        case '2':
        case '3':
            // A command is activity: the listing has the whole idle time to go out.
            client.EndAt(TelnetConnection::Clock::now() + idle);
            client.Send(static_cast<char>(byte));
            SendCallList(client, byte - '0', sources, clock);
            SendMenu(client);
            break;
        case '0':
        case 'x':
        case 'X':
            client.Send(static_cast<char>(byte));
            SendGoodbye(client);
            return;
        default:
            client.Send(kTelnetBell);
            break;
        }
    }
}

TelnetLogonResult RunTelnetDialogue(TelnetConnection& client, const TelnetLogon& logon,
                                    TelnetSources sources, const TelnetClock& clock,
                                    const TelnetDialogueTimes& times,
                                    const TelnetLogonGate& gate) {
    client.Send(std::string(kTelnetTitle).append(kTelnetTitleEnd));
    TelnetLogonResult result = TelnetLogonResult::LoggedOn;
    if (!logon.userId.empty()) {
        client.EndAt(TelnetConnection::Clock::now() + times.logonTimeout);
        result = TelnetLogin(client, logon, gate);
    }
    if (result == TelnetLogonResult::LoggedOn) {
        if (gate.loggedOn)
            gate.loggedOn();
        SendMenu(client);
        RunMenuLoop(client, sources, clock, times.menuIdleTimeout);
    } else {
        SendGoodbye(client);
    }
    client.Flush();
    return result;
}
