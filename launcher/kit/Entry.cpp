#include "Entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

status_t get_ref_for_path(const char* path, entry_ref* ref)
{
    if (path == nullptr || *path == '\0')
        return B_BAD_VALUE;
    std::string text = path;
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    std::filesystem::path p(text);
    std::error_code ec;
    if (p.is_relative())
        p = std::filesystem::current_path(ec) / p;
    // The directory is resolved; the entry's own name is never followed.
    std::string leaf = p.filename().string();
    std::filesystem::path parent = p.has_filename() && leaf != "/" ? p.parent_path() : p;
    char* resolved = realpath(parent.c_str(), nullptr);
    if (resolved == nullptr)
        return B_ENTRY_NOT_FOUND;
    ref->directory = resolved;
    free(resolved);
    ref->name = p == p.root_path() ? "." : leaf;
    return B_OK;
}

status_t BEntry::SetTo(const entry_ref* ref, bool traverse)
{
    fStatus = B_BAD_VALUE;
    fPath.clear();
    if (ref == nullptr || ref->directory.empty() || ref->name.empty())
        return fStatus;
    std::string path = ref->directory == "/" ? "/" + ref->name : ref->directory + "/" + ref->name;
    if (ref->name == ".")
        path = ref->directory;
    if (traverse) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr)
            return fStatus = B_ENTRY_NOT_FOUND;
        path = resolved;
        free(resolved);
    }
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
        return fStatus = B_ENTRY_NOT_FOUND;
    fPath = path;
    return fStatus = B_OK;
}

status_t BEntry::GetPath(BPath* path) const
{
    if (fStatus != B_OK || path == nullptr)
        return B_ERROR;
    path->_SetTo(fPath);
    return B_OK;
}
