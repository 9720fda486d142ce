#pragma once
// The fixed texts of the telnet dialogue. Every line end the server sends is LF CR ("\n\r").

#include "platform/Version.h"

#include <string_view>

// The same name, version and notice as the main window's title.
inline constexpr std::string_view kTelnetTitle = TavoTitle;
inline constexpr std::string_view kTelnetTitleEnd = "\n\r\n\r";

inline constexpr std::string_view kTelnetMenu =
    "Menu\n\r"
    "----\n\r"
    "\n\r"
    "   1 ) incoming calls from today \n\r"
    "   2 ) incoming calls from yesterday \n\r"
    "   3 ) incoming calls from day before yesterday \n\r"
    "\n\r"
    " x,0 ) EXIT "
    "\n\r\n\r"
    "TAVO> ";

inline constexpr std::string_view kTelnetUserIdPrompt = "userid   : ";
inline constexpr std::string_view kTelnetPasswordPrompt = "password : ";
inline constexpr std::string_view kTelnetAfterLogon = "\n\r\n\r";
inline constexpr std::string_view kTelnetGoodbye = "\n\r\n\r---\n\rCU @ home !";
inline constexpr std::string_view kTelnetColumnHeading = "  date\t\t\tto\t\twho\n\r";
inline constexpr char kTelnetBell = 7;
// The one line a connection gets when it is turned away.
inline constexpr std::string_view kTelnetBusy =
    "Too many telnet sessions at once, please try again later.\n\r";
inline constexpr std::string_view kTelnetBusyAddress =
    "Too many logons under way from your address, please try again later.\n\r";

// The widths a client can see: its typed lines, and each text of a listing line.
inline constexpr size_t kTelnetBannerWidth = 127;
inline constexpr size_t kTelnetLineWidth = 127;
inline constexpr size_t kTelnetFieldWidth = 127;
inline constexpr size_t kTelnetListingLineWidth = 255;

static_assert(kTelnetMenu.size() == 162);
static_assert(kTelnetTitle.size() + kTelnetTitleEnd.size() <= kTelnetBannerWidth);
