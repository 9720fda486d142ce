#pragma once
// vCard 3.0 and 4.0 address books: every TEL of every card, named by FN, or by N when a card has
// no FN. Folded lines are joined, the escapes \\ \; \, and \n are undone, and quoted-printable
// values (written by older exporters) are decoded.

#include "data/ContactNumbers.h"

#include <cstddef>
#include <string>
#include <string_view>

// True when the bytes look like a vCard file (a BEGIN:VCARD line before anything else).
bool LooksLikeVCard(std::string_view text);

// Undoes the vCard text escapes; "\n" and "\N" become a line feed.
std::string UnescapeVCardText(std::string_view value);

// A logical line (folded lines joined) longer than this is left out and told as a problem: no
// property of an address book needs it, and holding it would let one line take any memory.
inline constexpr size_t MaxVCardLine = size_t{1024} * 1024;

ContactNumbers ParseVCards(std::string_view text);
