#include "Message.h"

// The fields of one kind: each name holds a list of values.
template <typename T> using _Fields = std::map<std::string, std::vector<T>>;

template <typename T> static status_t AddField(_Fields<T>& fields, const char* name, const T& value)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    fields[name].push_back(value);
    return B_OK;
}

template <typename T> static status_t FindField(const _Fields<T>& fields, const char* name, int32 index, T* value)
{
    auto it = fields.find(name != nullptr ? name : "");
    if (it == fields.end() || index < 0 || index >= static_cast<int32>(it->second.size()))
        return B_ENTRY_NOT_FOUND;
    *value = it->second[index];
    return B_OK;
}

template <typename T> static int32 CountField(const _Fields<T>& fields, const char* name)
{
    auto it = fields.find(name != nullptr ? name : "");
    return it == fields.end() ? 0 : static_cast<int32>(it->second.size());
}

status_t BMessage::AddRef(const char* name, const entry_ref* ref)
{
    return ref == nullptr ? B_BAD_VALUE : AddField(fRefs, name, *ref);
}

status_t BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
    return FindField(fRefs, name, index, ref);
}

int32 BMessage::CountRefs(const char* name) const { return CountField(fRefs, name); }

status_t BMessage::AddString(const char* name, const std::string& string) { return AddField(fStrings, name, string); }

status_t BMessage::FindString(const char* name, int32 index, std::string* string) const
{
    return FindField(fStrings, name, index, string);
}

int32 BMessage::CountStrings(const char* name) const { return CountField(fStrings, name); }

status_t BMessage::AddInt32(const char* name, int32 value) { return AddField(fInt32s, name, value); }

status_t BMessage::FindInt32(const char* name, int32* value) const { return FindField(fInt32s, name, 0, value); }
