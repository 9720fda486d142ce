#include "telnet/TelnetDialogue.h"

#include "platform/Text.h"
#include "telnet/TelnetListing.h"
#include "telnet/TelnetTexts.h"

#include <vector>

namespace {
} // namespace

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

TelnetLogonResult TelnetLogin(TelnetConnection& client, const TelnetLogon& logon) {
    client.Send(kTelnetUserIdPrompt);
    std::optional<std::string> userId = ReadLine(client, true);
    if (!userId)
        return TelnetLogonResult::Ended;
    if (!EqualIgnoringCase(*userId, logon.userId))
        return TelnetLogonResult::Refused;
    client.Send(kTelnetPasswordPrompt);
    std::optional<std::string> password = ReadLine(client, false);
    if (!password)
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

void RunMenuLoop(TelnetConnection& client, TelnetSources sources, const TelnetClock& clock) {
    for (;;) {
        int byte = client.ReceiveByte();
        if (byte < 0)
            return;
        switch (byte) {
        case '1':
        case '2':
        case '3':
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
                                    const TelnetDialogueTimes& times) {
    client.Send(std::string(kTelnetTitle).append(kTelnetTitleEnd));
    TelnetLogonResult result = TelnetLogonResult::LoggedOn;
    if (!logon.userId.empty()) {
        client.EndAt(TelnetConnection::Clock::now() + times.logonTimeout);
        result = TelnetLogin(client, logon);
        client.EndAt(std::nullopt);
    }
    if (result == TelnetLogonResult::LoggedOn) {
        client.EndWhenIdleFor(times.menuIdleTimeout);
        SendMenu(client);
        RunMenuLoop(client, sources, clock);
    } else {
        if (result == TelnetLogonResult::Refused)
            client.Pause(times.failedLogonPause);
        SendGoodbye(client);
    }
    client.Flush();
    return result;
}
