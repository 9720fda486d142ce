#pragma once
// The 8-bit texts of the files and the settings record on screen: Windows-1252 both ways, and
// boxes that refuse, with a word at the box, any character the code page cannot hold.

#include <QString>

#include <string>

class QLineEdit;

QString FromCp1252(const std::string& bytes);
// For texts from boxes guarded by AcceptOnlyCp1252; a character the code page cannot hold
// (never typed there) is left out.
std::string ToCp1252(const QString& text);

// The message shown at a box that refused `character`.
QString Cp1252RefusalText(char32_t character);

// Typing or pasting a character the code page cannot hold into `box` leaves the box as it was
// and shows Cp1252RefusalText as a tool tip at the box.
void AcceptOnlyCp1252(QLineEdit* box);
