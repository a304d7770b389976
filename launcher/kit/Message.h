// Messages: a code and named fields, file references among them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Entry.h"
#include "SupportDefs.h"

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
