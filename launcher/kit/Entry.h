// File system entries and paths.
#pragma once

#include <string>

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

class BPath {
public:
    BPath() = default;
    const char* Path() const { return fPath.empty() ? nullptr : fPath.c_str(); }

private:
    friend class BEntry;
    void _SetTo(const std::string& path) { fPath = path; }

    std::string fPath;
};

class BEntry {
public:
    BEntry() = default;
    // Sets the entry to the reference; with traverse, a symbolic link is
    // followed to its target. Fails when the entry does not exist.
    status_t SetTo(const entry_ref* ref, bool traverse = false);
    status_t GetPath(BPath* path) const;

private:
    std::string fPath;
    status_t fStatus = B_ERROR;
};
