// File system entries and paths.
#pragma once

#include <string>

#include "Message.h"
#include "SupportDefs.h"

class BPath {
public:
    BPath() = default;
    const char* Path() const { return fPath.empty() ? nullptr : fPath.c_str(); }
    void _SetTo(const std::string& path) { fPath = path; }

private:
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
