#pragma once
// The list file format of "caller.his", "names.dat" and "msn.dat" as bytes in memory: version 4
// when written, versions 1 to 4 when read, with the CR LF translation of every byte 0x0A.

#include "data/CallList.h"
#include "platform/FileBytes.h"

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int32_t ListFileVersion = 4;

// Logical stream -> disk bytes: every 0x0A becomes 0x0D 0x0A.
void AppendWithLineEnds(std::string& disk, std::string_view logical);
// Disk bytes -> logical stream: each 0x0D 0x0A becomes 0x0A; any other 0x0D stays.
std::string StripLineEnds(std::string_view disk);

// One record as it follows the version in a version-4 file (translated, ready to be written).
void AppendRecordBytes(std::string& disk, const CallRecord& record);
// The whole file for a list: the version, then every record in order.
std::string EncodeListFile(const CallList& list);

struct ListFileDecode {
    size_t added = 0;      // records appended to the list
    size_t whole = 0;      // of those, the ones read whole (a record cut short is added too)
    int32_t version = 0;   // the file's version; 0 when nothing could be read
    bool complete = false; // the file ended right after a whole record (or the version)
    // Every text was stored as saving writes it (its bytes, then one zero): the logical stream
    // holds nothing that a save of the decoded records would write differently.
    bool canonical = true;
};

// Appends the records of a file's disk bytes to `list`. A version above 4 or an empty file adds
// nothing; a file cut short, or a length that is negative or reaches past the end, keeps what
// was read so far.
ListFileDecode DecodeListFile(std::string_view disk, CallList& list);

struct ListFileLoad {
    bool opened = false; // false: nothing could be read; `error` says why
    std::string error;
    size_t fileSize = 0; // bytes read
    ListFileDecode decoded;
    // Every byte of the file was understood: a caller that saves the list over this file loses
    // nothing of it.
    bool Clean() const { return opened && (fileSize == 0 || decoded.complete); }
    // With KeptFile::IfSavedAlike: the file, still open, when saving the records read from it
    // writes exactly its fileSize bytes again (a whole version-4 file in the form a save gives).
    FileHandle savedAlike;
    // Every 0x0A of the file follows a 0x0D, as saving writes it.
    bool lineEndsAsSaved = true;
};

enum class KeptFile { None, IfSavedAlike };

// A list file is loaded this many bytes at a time.
inline constexpr size_t ListFileLoadPiece = size_t{1} << 20;

// Appends the records of a list file. A missing file is created empty.
ListFileLoad LoadListFile(CallList& list, const std::string& fileName,
                          KeptFile keep = KeptFile::None);
// Like LoadListFile but never creates a file: false, with `error` set, when the file cannot be
// opened for reading (missing, a directory, no permission).
bool LoadExistingListFile(CallList& list, const std::string& fileName, std::string& error);
// For the commands that only read: a missing file is an empty list, and nothing is created;
// false, with `error` set, when the file is there but cannot be read.
bool LoadListFileIfThere(CallList& list, const std::string& fileName, std::string& error);
// Replaces the file atomically with the whole list; false when it failed (the file is then as it
// was).
bool SaveListFile(const CallList& list, const std::string& fileName);
