// Messages and file references.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "SupportDefs.h"

// A reference to a file system entry: the directory that holds it
// (resolved) and the entry's own name, which is never followed.
struct entry_ref {
    std::string directory;
    std::string name;
    entry_ref() = default;
    entry_ref(const std::string& dir, const std::string& leaf) : directory(dir), name(leaf) { }
    bool operator==(const entry_ref&) const = default;
};

// Makes a reference from a path: its directory resolved, its last
// component kept as it is. Returns B_OK, or B_ENTRY_NOT_FOUND when the
// directory does not exist.
status_t get_ref_for_path(const char* path, entry_ref* ref);

class BMessage {
public:
    uint32 what = 0;

    BMessage() = default;
    explicit BMessage(uint32 code) : what(code) { }

    status_t AddRef(const char* name, const entry_ref* ref);
    status_t FindRef(const char* name, entry_ref* ref) const { return FindRef(name, 0, ref); }
    status_t FindRef(const char* name, int32 index, entry_ref* ref) const;
    int32 CountRefs(const char* name) const;

    // Strings of any bytes (paths among them) and numbers, by name; a name
    // may hold several strings.
    status_t AddString(const char* name, const std::string& string);
    status_t FindString(const char* name, int32 index, std::string* string) const;
    status_t FindString(const char* name, std::string* string) const { return FindString(name, 0, string); }
    int32 CountStrings(const char* name) const;
    status_t AddInt32(const char* name, int32 value);
    status_t FindInt32(const char* name, int32* value) const;

private:
    std::map<std::string, std::vector<entry_ref>> fRefs;
    std::map<std::string, std::vector<std::string>> fStrings;
    std::map<std::string, std::vector<int32>> fInt32s;
};
