#pragma once
// The freedesktop base directories, by one rule for every file the program keeps: an XDG
// variable counts only when it holds an absolute path, else the default under the home
// directory. The home directory is $HOME when absolute, else the user's entry in the password
// database.

#include <string>

// Empty when no home directory can be found at all.
std::string HomeDirectory();

// $XDG_CONFIG_HOME, else ~/.config; empty without a home directory.
std::string XdgConfigHome();
// $XDG_DATA_HOME, else ~/.local/share; empty without a home directory.
std::string XdgDataHome();
// $XDG_CACHE_HOME, else ~/.cache; empty without a home directory.
std::string XdgCacheHome();

// Where TAVO keeps its settings: XdgConfigHome()/TAVO.
std::string TavoConfigDirectory();
