#include "Message.h"

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
