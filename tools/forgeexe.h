// Builds the files that keep icons inside them, from icon files made with
// forgeico.h: animated cursors (RIFF ACON), Windows programs (PE32 and
// PE32+, with a resource section) and 16-bit programs (NE). Used by the
// tests, the fuzzing seeds and the benchmarks.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "put_le.h"

// A RIFF chunk: its id, size (or sizeField instead) and data, padded to
// an even size.
inline std::string RiffChunk(const std::string& id, const std::string& data, int64_t sizeField = -1)
{
    std::string b = id;
    put_le::U32(b, sizeField >= 0 ? static_cast<uint32_t>(sizeField) : static_cast<uint32_t>(data.size()));
    b += data;
    if (data.size() % 2 != 0)
        b += '\0';
    return b;
}

struct Animation {
    std::vector<std::string> frames;  // whole ICO or CUR files
    uint32_t frameCount = 0;  // anih's frames; 0: as many as there are
    uint32_t rate = 10;  // jiffies a step
    std::vector<uint32_t> rates, sequence;  // "rate" and "seq " chunks when not empty
    int64_t riffSize = -1;  // the RIFF size field; -1: the right one
};

// An animated cursor of the frames.
inline std::string AniFile(const Animation& a)
{
    using namespace put_le;
    const uint32_t frames = a.frameCount != 0 ? a.frameCount : static_cast<uint32_t>(a.frames.size());
    const uint32_t steps = a.sequence.empty() ? frames : static_cast<uint32_t>(a.sequence.size());
    std::string header;
    for (uint32_t v : {36u, frames, steps, 0u, 0u, 0u, 0u, a.rate, a.sequence.empty() ? 1u : 3u})
        U32(header, v);
    std::string body = "ACON" + RiffChunk("anih", header);
    for (const auto& [id, values] : {std::pair{"rate", a.rates}, std::pair{"seq ", a.sequence}}) {
        std::string data;
        for (uint32_t v : values)
            U32(data, v);
        if (!values.empty())
            body += RiffChunk(id, data);
    }
    std::string list = "fram";
    for (const std::string& frame : a.frames)
        list += RiffChunk("icon", frame);
    body += RiffChunk("LIST", list);
    std::string b = "RIFF";
    U32(b, a.riffSize >= 0 ? static_cast<uint32_t>(a.riffSize) : static_cast<uint32_t>(body.size()));
    return b + body;
}

// A resource of a program: its type, its name or (name empty) ID, its
// language, and its data.
struct ExeResource {
    uint16_t type;
    std::string name;
    uint16_t id;
    uint16_t language;
    std::string data;
};

// The resources of an icon file as a program keeps them: one group (type
// 14, or 12 for a cursor file) of the given name or ID, and its members
// (type 3, or 1) under IDs from firstId on.
inline std::vector<ExeResource> IconGroup(const std::string& ico, const std::string& name, uint16_t id,
                                          uint16_t firstId, uint16_t language = 1033)
{
    using namespace put_le;
    auto le16 = [&](size_t at) { return static_cast<uint32_t>(uint8_t(ico[at]) | uint8_t(ico[at + 1]) << 8); };
    auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    const bool cursor = le16(2) == 2;
    const unsigned count = le16(4);
    std::string group;
    U16(group, 0);
    U16(group, cursor ? 2 : 1);
    U16(group, count);
    std::vector<ExeResource> members;
    for (unsigned i = 0; i < count; i++) {
        const size_t e = 6 + 16 * i;
        std::string data = ico.substr(le32(e + 12), le32(e + 8));
        const uint16_t member = static_cast<uint16_t>(firstId + i);
        if (cursor) {
            std::string hotspot;
            U16(hotspot, le16(e + 4));
            U16(hotspot, le16(e + 6));
            data = hotspot + data;
            U16(group, uint8_t(ico[e]) == 0 ? 256 : uint8_t(ico[e]));
            U16(group, 2 * (uint8_t(ico[e + 1]) == 0 ? 256 : uint8_t(ico[e + 1])));
            U16(group, 1);
            U16(group, 32);
        } else {
            // The size from the bitmap's header where the directory leaves
            // it 0, as resource compilers write it.
            std::string entry = ico.substr(e, 8);
            if (entry[0] == 0 && data.size() >= 12 && data[0] == 40) {
                auto at = [&](size_t k) { return static_cast<uint32_t>(uint8_t(data[k]) | uint8_t(data[k + 1]) << 8); };
                entry[0] = static_cast<char>(at(4) >= 256 ? 0 : at(4));
                entry[1] = static_cast<char>(at(8) / 2 >= 256 ? 0 : at(8) / 2);
            }
            group += entry;
        }
        U32(group, static_cast<uint32_t>(data.size()));
        U16(group, member);
        members.push_back({static_cast<uint16_t>(cursor ? 1 : 3), "", member, language, data});
    }
    members.insert(members.begin(), {static_cast<uint16_t>(cursor ? 12 : 14), name, id, language, group});
    return members;
}

// The resource section of a PE file at rva: the three-level directory
// (types, names and IDs, languages; named entries first, as Windows
// sorts them), the data entries, the names, then the data.
inline std::string PeResources(const std::vector<ExeResource>& resources, uint32_t rva)
{
    using namespace put_le;
    // type -> (name or "#ID") -> language -> data
    std::map<uint16_t, std::map<std::string, std::map<uint16_t, const ExeResource*>>> tree;
    for (const ExeResource& r : resources) {
        std::string key =
            r.name.empty() ? "~" + std::string(5 - std::to_string(r.id).size(), '0') + std::to_string(r.id) : r.name;
        tree[r.type][key][r.language] = &r;
    }
    auto directory = [](std::string& b, unsigned named, unsigned ids) {
        U32(b, 0);
        U32(b, 0);
        U32(b, 0);
        U16(b, named);
        U16(b, ids);
    };
    size_t directories = 16 + 8 * tree.size(), leaves = 0;
    for (auto& [type, names] : tree) {
        directories += 16 + 8 * names.size();
        for (auto& [key, languages] : names) {
            directories += 16 + 8 * languages.size();
            leaves += languages.size();
        }
    }
    // Offsets: directories, then data entries, then names, then data.
    const size_t entriesAt = directories;
    size_t namesAt = entriesAt + 16 * leaves, namesSize = 0;
    for (auto& [type, names] : tree)
        for (auto& [key, languages] : names)
            if (key[0] != '~')
                namesSize += 2 + 2 * key.size();
    size_t dataAt = (namesAt + namesSize + 3) & ~size_t{3};
    std::string dirs, entries, names, data;
    directory(dirs, 0, static_cast<unsigned>(tree.size()));
    size_t next = 16 + 8 * tree.size();
    std::string level2, level3;
    size_t level2At = next, level3At = level2At;
    for (auto& [type, byName] : tree)
        level3At += 16 + 8 * byName.size();
    for (auto& [type, byName] : tree) {
        U32(dirs, type);
        U32(dirs, 0x80000000u | static_cast<uint32_t>(level2At + level2.size()));
        unsigned named = 0;
        for (auto& [key, languages] : byName)
            named += key[0] != '~';
        directory(level2, named, static_cast<unsigned>(byName.size() - named));
        for (auto& [key, languages] : byName) {
            const ExeResource& first = *languages.begin()->second;
            if (first.name.empty()) {
                U32(level2, first.id);
            } else {
                U32(level2, 0x80000000u | static_cast<uint32_t>(namesAt + names.size()));
                U16(names, static_cast<uint32_t>(first.name.size()));
                for (char c : first.name)
                    U16(names, static_cast<uint8_t>(c));
            }
            U32(level2, 0x80000000u | static_cast<uint32_t>(level3At + level3.size()));
            directory(level3, 0, static_cast<unsigned>(languages.size()));
            for (auto& [language, r] : languages) {
                U32(level3, language);
                U32(level3, static_cast<uint32_t>(entriesAt + entries.size()));
                U32(entries, static_cast<uint32_t>(rva + dataAt + data.size()));
                U32(entries, static_cast<uint32_t>(r->data.size()));
                U32(entries, 0);
                U32(entries, 0);
                data += r->data;
                data.resize((data.size() + 3) & ~size_t{3}, '\0');
            }
        }
    }
    std::string b = dirs + level2 + level3 + entries + names;
    b.resize(dataAt, '\0');
    return b + data;
}

// A PE32 (or PE32+) program: a DOS header, the PE headers, a .text
// section of a few bytes and the resource section (none when resources is
// empty and withResources is false), named as sectionNames give them.
struct Program {
    std::vector<ExeResource> resources;
    bool plus = false;
    bool withResources = true;
    std::vector<std::string> sectionNames = {".text", ".rsrc"};
};

inline std::string PeFile(const Program& p)
{
    using namespace put_le;
    const uint32_t kTextRva = 0x1000, kRsrcRva = 0x2000, kFileAlign = 0x200;
    std::string rsrc = p.withResources ? PeResources(p.resources, kRsrcRva) : "";
    std::string b = "MZ";
    b.resize(0x3C, '\0');
    U32(b, 0x40);
    b += std::string("PE\0\0", 4);
    const unsigned sections = p.withResources ? 2 : 1;
    const uint16_t optionalSize = p.plus ? 240 : 224;
    U16(b, p.plus ? 0x8664 : 0x14C);
    U16(b, sections);
    U32(b, 0);
    U32(b, 0);
    U32(b, 0);
    U16(b, optionalSize);
    U16(b, 0x2102);
    std::string optional;
    U16(optional, p.plus ? 0x20B : 0x10B);
    optional.resize(p.plus ? 108 : 92, '\0');
    U32(optional, 16);
    for (int d = 0; d < 16; d++) {
        U32(optional, d == 2 && p.withResources ? kRsrcRva : 0);
        U32(optional, d == 2 && p.withResources ? static_cast<uint32_t>(rsrc.size()) : 0);
    }
    b += optional;
    const uint32_t headers = static_cast<uint32_t>(b.size() + 40 * sections);
    const uint32_t textAt = (headers + kFileAlign - 1) / kFileAlign * kFileAlign, rsrcAt = textAt + kFileAlign;
    auto section = [&](const std::string& name, uint32_t size, uint32_t rva, uint32_t at) {
        std::string n = name.substr(0, 8);
        n.resize(8, '\0');
        b += n;
        U32(b, size);
        U32(b, rva);
        U32(b, (size + kFileAlign - 1) / kFileAlign * kFileAlign);
        U32(b, at);
        b.append(16, '\0');
    };
    section(p.sectionNames[0], 16, kTextRva, textAt);
    if (p.withResources)
        section(p.sectionNames.size() > 1 ? p.sectionNames[1] : ".rsrc", static_cast<uint32_t>(rsrc.size()), kRsrcRva,
                rsrcAt);
    b.resize(textAt, '\0');
    b += std::string("\xC3", 1);  // ret
    b.resize(rsrcAt, '\0');
    if (p.withResources) {
        b += rsrc;
        b.resize((b.size() + kFileAlign - 1) / kFileAlign * kFileAlign, '\0');
    }
    return b;
}

// A 16-bit NE program (an .icl icon library is one) holding the
// resources (their languages are not kept), each aligned to 2^shift bytes.
inline std::string NeFile(const std::vector<ExeResource>& resources, unsigned shift = 4)
{
    using namespace put_le;
    std::map<uint16_t, std::vector<const ExeResource*>> byType;
    for (const ExeResource& r : resources)
        byType[r.type].push_back(&r);
    // The resource table: shift, types with their entries, 0, the names.
    size_t tableSize = 2 + 2, namesSize = 0;
    for (auto& [type, list] : byType) {
        tableSize += 8 + 12 * list.size();
        for (const ExeResource* r : list)
            namesSize += r->name.empty() ? 0 : 1 + r->name.size();
    }
    const size_t neAt = 0x40, tableAt = neAt + 0x40;
    const size_t residentAt = tableAt + tableSize + namesSize;
    size_t dataAt = ((residentAt + 1) >> shift << shift) + (size_t{1} << shift);
    std::string table, names, data;
    U16(table, shift);
    for (auto& [type, list] : byType) {
        U16(table, 0x8000u | type);
        U16(table, static_cast<uint32_t>(list.size()));
        U32(table, 0);
        for (const ExeResource* r : list) {
            const size_t at = dataAt + data.size();
            U16(table, static_cast<uint32_t>(at >> shift));
            U16(table, static_cast<uint32_t>((r->data.size() + (size_t{1} << shift) - 1) >> shift));
            U16(table, 0x1C30);
            if (r->name.empty()) {
                U16(table, 0x8000u | r->id);
            } else {
                U16(table, static_cast<uint32_t>(tableSize + names.size()));
                names += static_cast<char>(r->name.size());
                names += r->name;
            }
            U32(table, 0);
            data += r->data;
            data.resize((data.size() + (size_t{1} << shift) - 1) >> shift << shift, '\0');
        }
    }
    U16(table, 0);
    std::string b = "MZ";
    b.resize(0x3C, '\0');
    U32(b, static_cast<uint32_t>(neAt));
    std::string ne = "NE";
    ne.resize(0x24, '\0');
    U16(ne, static_cast<uint32_t>(tableAt - neAt));
    U16(ne, static_cast<uint32_t>(residentAt - neAt));
    ne.resize(0x40, '\0');
    b += ne + table + names;
    b += '\0';  // the resident name table: empty
    b.resize(dataAt, '\0');
    return b + data;
}
