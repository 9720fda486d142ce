#pragma once
// The dialogue with one telnet client: banner, optional logon, the one-key menu and listings.

#include "data/SharedLists.h"
#include "telnet/TelnetConnection.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

// What the dialogue reads. The lists belong to the main thread: the listing holds a view of
// them while it reads.
struct TelnetSources {
    const GuardedLists& lists;
};

using TelnetClock = std::function<std::time_t()>;

// The logon of one connection, copied from the settings when the connection begins.
struct TelnetLogon {
    std::string userId; // empty: no logon is asked for
    std::string password;
};

// How long a client may take.
struct TelnetDialogueTimes {
    std::chrono::milliseconds logonTimeout{30000}; // from the banner to the menu
    // Between two commands in the menu: keys that only ring the bell and telnet commands do
    // not count, so a client trickling bytes cannot hold its session for ever.
    std::chrono::milliseconds menuIdleTimeout{600000};
};

// What the server adds to the logon of one connection.
struct TelnetLogonGate {
    // How long the verdict on this client's logon must still wait (failures slow its address
    // down); none: no wait.
    std::function<std::chrono::milliseconds()> wait;
    // Told once the client may use the menu (logged on, or no logon asked for).
    std::function<void()> loggedOn;
};

// NotALogon: the first line cannot be anyone's logon (an HTTP request, bytes that are no text);
// such a connection is closed like a refused one but is no guess at the password.
enum class TelnetLogonResult { LoggedOn, Refused, NotALogon, Ended };

// False for a user id line that no person types: control bytes, or a request line of another
// protocol (HTTP, SSH) sent to the wrong port.
bool PlausibleUserId(const std::string& line);

// One typed line without its line end (LF, and the CR before it); at most 127 bytes are kept,
// the rest of a longer line is read and dropped. Absent when the connection ended first.
std::optional<std::string> ReadLine(TelnetConnection& client, bool echo);
// Ended: the connection ended (or ran out of time) before the logon was decided.
TelnetLogonResult TelnetLogin(TelnetConnection& client, const TelnetLogon& logon,
                              const TelnetLogonGate& gate = {});
void SendMenu(TelnetConnection& client);
// Day 1 today, 2 yesterday, 3 the day before yesterday.
void SendCallList(TelnetConnection& client, int day, TelnetSources sources,
                  const TelnetClock& clock);
void SendGoodbye(TelnetConnection& client);
// Ends the connection once `idle` passes without a command.
void RunMenuLoop(TelnetConnection& client, TelnetSources sources, const TelnetClock& clock,
                 std::chrono::milliseconds idle = TelnetDialogueTimes{}.menuIdleTimeout);

// The whole dialogue, from the banner to the goodbye; the caller closes the connection.
// Tells how the logon went (LoggedOn as well when none was asked for).
TelnetLogonResult RunTelnetDialogue(TelnetConnection& client, const TelnetLogon& logon,
                                    TelnetSources sources, const TelnetClock& clock,
                                    const TelnetDialogueTimes& times = {},
                                    const TelnetLogonGate& gate = {});
