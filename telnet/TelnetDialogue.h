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

// How long a client may take, and the pause that slows down guessing.
struct TelnetDialogueTimes {
    std::chrono::milliseconds logonTimeout{30000};     // from the banner to the menu
    std::chrono::milliseconds menuIdleTimeout{600000}; // between two keys in the menu
    std::chrono::milliseconds failedLogonPause{1000};  // before the goodbye of a failed logon
};

enum class TelnetLogonResult { LoggedOn, Refused, Ended };

// One typed line without its line end (LF, and the CR before it); at most 127 bytes are kept,
// the rest of a longer line is read and dropped. Absent when the connection ended first.
std::optional<std::string> ReadLine(TelnetConnection& client, bool echo);
// Ended: the connection ended (or ran out of time) before the logon was decided.
TelnetLogonResult TelnetLogin(TelnetConnection& client, const TelnetLogon& logon);
void SendMenu(TelnetConnection& client);
// Day 1 today, 2 yesterday, 3 the day before yesterday.
void SendCallList(TelnetConnection& client, int day, TelnetSources sources,
                  const TelnetClock& clock);
void SendGoodbye(TelnetConnection& client);
void RunMenuLoop(TelnetConnection& client, TelnetSources sources, const TelnetClock& clock);

// The whole dialogue, from the banner to the goodbye; the caller closes the connection.
// Tells how the logon went (LoggedOn as well when none was asked for).
TelnetLogonResult RunTelnetDialogue(TelnetConnection& client, const TelnetLogon& logon,
                                    TelnetSources sources, const TelnetClock& clock,
                                    const TelnetDialogueTimes& times = {});
