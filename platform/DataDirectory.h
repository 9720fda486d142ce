#pragma once
// The one directory that holds every data file ("names.dat", "msn.dat", "caller.his",
// "caller.txt", "areacode.lst"). The program makes it its current directory at start-up so the
// plain relative file names work as written.

#include <optional>
#include <string>

struct DataDirectoryChoice {
    std::string path;  // empty when no place could be chosen
    std::string error; // why, when path is empty
};

// --data-dir DIR, else $TAVO_DATA_DIR, else $XDG_DATA_HOME/TAVO, else $HOME/.local/share/TAVO.
// Empty environment values count as unset.
DataDirectoryChoice ChooseDataDirectory(const std::optional<std::string>& option);

// Creates the directory (and its parents) when missing, checks that it is a directory the
// program can read (writing is not required, see DataDirectoryWritable), makes it the current
// directory and remembers it for ChangeToProgramDirectory. Returns an empty text on success, else a
// message for the user.
std::string EnterDataDirectory(const std::string& path);

// The directory remembered by the last successful EnterDataDirectory (absolute), or empty.
std::string DataDirectoryPath();

// Whether the entered data directory (else the current one) can be written now.
bool DataDirectoryWritable();

// Makes the data directory the current directory again. An installed program's own directory is
// not writable, so this returns to the data directory rather than to the executable's.
// Does nothing when no data directory was entered; errors are ignored.
void ChangeToProgramDirectory();

// A new, empty directory for one demo run: under $XDG_RUNTIME_DIR when set, else the system's
// temporary directory. Empty text with `error` set when it could not be made.
DataDirectoryChoice MakeDemoDataDirectory();
