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

status_t BMessage::AddRef(const char* name, const entry_ref* ref)
{
    if (name == nullptr || ref == nullptr)
        return B_BAD_VALUE;
    fRefs[name].push_back(*ref);
    return B_OK;
}

status_t BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
    auto it = fRefs.find(name != nullptr ? name : "");
    if (it == fRefs.end() || index < 0 || index >= static_cast<int32>(it->second.size()))
        return B_ENTRY_NOT_FOUND;
    *ref = it->second[index];
    return B_OK;
}

int32 BMessage::CountRefs(const char* name) const
{
    auto it = fRefs.find(name != nullptr ? name : "");
    return it == fRefs.end() ? 0 : static_cast<int32>(it->second.size());
}

status_t BMessage::AddString(const char* name, const std::string& string)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    fStrings[name].push_back(string);
    return B_OK;
}

status_t BMessage::FindString(const char* name, int32 index, std::string* string) const
{
    auto it = fStrings.find(name != nullptr ? name : "");
    if (it == fStrings.end() || index < 0 || index >= static_cast<int32>(it->second.size()))
        return B_ENTRY_NOT_FOUND;
    *string = it->second[index];
    return B_OK;
}

int32 BMessage::CountStrings(const char* name) const
{
    auto it = fStrings.find(name != nullptr ? name : "");
    return it == fStrings.end() ? 0 : static_cast<int32>(it->second.size());
}

status_t BMessage::AddInt32(const char* name, int32 value)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    fInt32s[name] = value;
    return B_OK;
}

status_t BMessage::FindInt32(const char* name, int32* value) const
{
    auto it = fInt32s.find(name != nullptr ? name : "");
    if (it == fInt32s.end())
        return B_ENTRY_NOT_FOUND;
    *value = it->second;
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
