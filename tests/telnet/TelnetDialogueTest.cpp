// The dialogue byte for byte over a connected socket pair: the client's keys go in, and the
// whole transcript of the server's answers comes out.

#include "telnet/TelnetDialogue.h"

#include <cstdlib>
#include <vector>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const std::string banner = "TAVO --- Version 1.3.3  (c) 2026 the TAVO developers\n\r\n\r";
const std::string menu = "Menu\n\r----\n\r\n\r"
                         "   1 ) incoming calls from today \n\r"
                         "   2 ) incoming calls from yesterday \n\r"
                         "   3 ) incoming calls from day before yesterday \n\r"
                         "\n\r x,0 ) EXIT \n\r\n\rTAVO> ";
const std::string goodbye = "\n\r\n\r---\n\rCU @ home !";
const std::string rule = std::string(73, '-') + "\n\r";
const std::string bell = "\a";

class SocketPair {
public:
    SocketPair() {
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        timeval limit{5, 0};
        setsockopt(ends[0], SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~SocketPair() {
        close(ends[0]);
        close(ends[1]);
    }
    // The client's keys, then the client stops sending.
    void Type(const std::string& keys) {
        EXPECT_EQ(write(ends[0], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
        shutdown(ends[0], SHUT_WR);
    }
    std::string Received() {
        shutdown(ends[1], SHUT_WR);
        std::string got;
        char buffer[4096];
        ssize_t n;
        while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
            got.append(buffer, static_cast<size_t>(n));
        return got;
    }
    int Server() const { return ends[1]; }

private:
    int ends[2] = {-1, -1};
};

class DialogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    std::string Session(const std::string& keys, const TelnetLogon& logon = {},
                        const TelnetLogonGate& gate = {}) {
        SocketPair pair;
        pair.Type(keys);
        {
            TelnetConnection client(pair.Server());
            result = RunTelnetDialogue(
                client, logon, {lists},
                [] {
                    return std::time_t{1767268800}; // Thursday 1 January 2026, 12:00 UTC
                },
                {}, gate);
        }
        return pair.Received();
    }
    // The listing of a day without calls, as the listing for "1" shows it on the fixed day.
    std::string EmptyListing(const std::string& dayStart) {
        return "\n\r\n\r" + dayStart + "\n\r  date\t\t\tto\t\twho\n\r" + rule + rule;
    }

    GuardedLists lists;
    TelnetLogonResult result = TelnetLogonResult::Ended;
};
} // namespace

TEST_F(DialogueTest, WithoutUserIdTheMenuComesAtOnceAndXSaysGoodbye) {
    EXPECT_EQ(Session("x"), banner + menu + "x" + goodbye);
    EXPECT_EQ(Session("X"), banner + menu + "X" + goodbye);
    EXPECT_EQ(Session("0"), banner + menu + "0" + goodbye);
    // Keys after the goodbye are not read.
    EXPECT_EQ(Session("0123"), banner + menu + "0" + goodbye);
}

TEST_F(DialogueTest, ListingKeyShowsTheDayThenTheMenuAndBellsForTheLineEnd) {
    EXPECT_EQ(Session("1\r\n"), banner + menu + "1" + EmptyListing("Thu Jan  1 00:00:00 2026\n") +
                                    menu + bell + bell);
    EXPECT_EQ(Session("23x"), banner + menu + "2" + EmptyListing("Wed Dec 31 00:00:00 2025\n") +
                                  menu + "3" + EmptyListing("Tue Dec 30 00:00:00 2025\n") + menu +
                                  "x" + goodbye);
}

TEST_F(DialogueTest, ListingShowsTheCallsOfTheDay) {
    CallRecord call;
    call.hasTime = true;
    call.callTime = 1767268740;
    call.key = "555";
    call.value = "0301234";
    call.cipValue = 1;
    lists.Write()->callList.append(call);
    call.callTime = 1767268801; // after now: not listed
    lists.Write()->callList.append(call);
    CallRecord entry;
    entry.key = "555";
    entry.value = "Office";
    lists.Write()->msnList.append(entry);
    EXPECT_EQ(Session("1"), banner + menu + "1" + "\n\r\n\rThu Jan  1 00:00:00 2026\n\n\r" +
                                "  date\t\t\tto\t\twho\n\r" + rule +
                                "2026-01-01 11:59:00  Office/speech\t0301234\n\r" + rule + menu);
}

TEST_F(DialogueTest, EveryOtherKeyRingsTheBell) {
    // NUL, letters, digits, blanks, high bytes, the line end.
    std::string keys = std::string(1, '\0') + "a9 \x80\xfe\r\n";
    EXPECT_EQ(Session(keys + "x"), banner + menu + std::string(keys.size(), '\a') + "x" + goodbye);
    // Telnet negotiation is answered, not rung at: echo is agreed to, go-ahead of the client's
    // is not wanted.
    EXPECT_EQ(Session("\xff\xfd\x01\xff\xfb\x03x"),
              banner + menu + "\xff\xfb\x01\xff\xfe\x03" + "x" + goodbye);
}

TEST_F(DialogueTest, LogonEchoesTheUserIdButNotThePassword) {
    TelnetLogon logon{"Admin", "Secret"};
    EXPECT_EQ(Session("aDMIN\r\nsECRET\r\nx", logon),
              banner + "userid   : aDMIN\r\npassword : \n\r\n\r" + menu + "x" + goodbye);
}

TEST_F(DialogueTest, WrongUserIdEndsWithoutAskingForThePassword) {
    TelnetLogon logon{"admin", "secret"};
    EXPECT_EQ(Session("guest\r\nsecret\r\n1", logon), banner + "userid   : guest\r\n" + goodbye);
    // A user id that only begins like the right one is wrong as well.
    EXPECT_EQ(Session("admin2\r\n", logon), banner + "userid   : admin2\r\n" + goodbye);
}

TEST_F(DialogueTest, WrongPasswordGetsTheBlankLinesThenGoodbye) {
    TelnetLogon logon{"admin", "secret"};
    EXPECT_EQ(Session("admin\r\nsecrets\r\n1", logon),
              banner + "userid   : admin\r\npassword : \n\r\n\r" + goodbye);
}

TEST_F(DialogueTest, WhatNoPersonTypesIsNoGuessAtTheLogon) {
    TelnetLogon logon{"admin", "secret"};
    for (const std::string line : {"GET / HTTP/1.1", "POST /login HTTP/1.0", "SSH-2.0-OpenSSH_9.2",
                                   "\x16\x03\x01\x02", "ad\x1b[2Jmin", "admin\x7f"}) {
        EXPECT_EQ(Session(line + "\r\n", logon), banner + "userid   : " + line + "\r\n" + goodbye)
            << line;
        EXPECT_EQ(result, TelnetLogonResult::NotALogon) << line;
    }
    // Names with blanks and Windows-1252 letters are names; a wrong one is a failed logon.
    for (const std::string line : {"Jürgen Weiß", "GET me in", "", "HTTP/1.1"}) {
        Session(line + "\r\n", logon);
        EXPECT_EQ(result, TelnetLogonResult::Refused) << line;
    }
}

TEST_F(DialogueTest, TheVerdictWaitsAsTheGateAsksAndLoggingOnIsTold) {
    TelnetLogon logon{"admin", "secret"};
    std::vector<std::string> events;
    TelnetLogonGate gate;
    gate.wait = [&] {
        events.push_back("wait");
        return std::chrono::milliseconds(1);
    };
    gate.loggedOn = [&] { events.push_back("logged on"); };
    EXPECT_EQ(Session("admin\r\nsecret\r\nx", logon, gate),
              banner + "userid   : admin\r\npassword : \n\r\n\r" + menu + "x" + goodbye);
    EXPECT_EQ(events, (std::vector<std::string>{"wait", "logged on"}));
    events.clear();
    Session("guest\r\n", logon, gate);
    EXPECT_EQ(events, std::vector<std::string>{"wait"});
    EXPECT_EQ(result, TelnetLogonResult::Refused);
    // No verdict, no wait: a client that leaves, or one that speaks another protocol.
    events.clear();
    Session("admin\r\nsec", logon, gate);
    Session("GET / HTTP/1.1\r\n", logon, gate);
    EXPECT_TRUE(events.empty());
    // Without a logon the menu is open at once.
    Session("x", {}, gate);
    EXPECT_EQ(events, std::vector<std::string>{"logged on"});
}

TEST_F(DialogueTest, ClientLeavingDuringLogonGetsNothingMore) {
    TelnetLogon logon{"admin", "secret"};
    EXPECT_EQ(Session("adm", logon), banner + "userid   : adm");
    EXPECT_EQ(Session("admin\r\nsec", logon), banner + "userid   : admin\r\npassword : ");
    EXPECT_EQ(Session("", {}), banner + menu);
}

TEST(ReadLine, TakesTheTextBeforeTheLineEnd) {
    SocketPair pair;
    pair.Type("abc\r\n\ndef\nab\bc\r\n\r\nrest");
    TelnetConnection client(pair.Server());
    EXPECT_EQ(ReadLine(client, false), "abc");
    EXPECT_EQ(ReadLine(client, false), "");
    // A client that ends its lines with LF alone keeps its last character.
    EXPECT_EQ(ReadLine(client, false), "def");
    EXPECT_EQ(ReadLine(client, false), "ab\bc");
    EXPECT_EQ(ReadLine(client, false), "");
    EXPECT_EQ(ReadLine(client, false), std::nullopt); // ended before its LF
    EXPECT_TRUE(client.Ended());
}

TEST(ReadLine, LongLinesAreCutAndTheRestDropped) {
    SocketPair pair;
    const std::string longLine = std::string(127, 'a') + std::string(5000, 'b');
    pair.Type(longLine + "\r\n" + std::string(126, 'c') + "\r\n" + std::string(128, 'd') + "\n" +
              "next\r\n");
    TelnetConnection client(pair.Server());
    EXPECT_EQ(ReadLine(client, true), std::string(127, 'a'));
    EXPECT_EQ(ReadLine(client, true), std::string(126, 'c'));
    EXPECT_EQ(ReadLine(client, true), std::string(127, 'd'));
    EXPECT_EQ(ReadLine(client, true), "next");
    client.Flush();
    // Everything typed was echoed, including what was dropped.
    EXPECT_EQ(pair.Received(), longLine + "\r\n" + std::string(126, 'c') + "\r\n" +
                                   std::string(128, 'd') + "\n" + "next\r\n");
}
