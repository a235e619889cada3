#include "member_cache.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "state.h"
#include "structure.h"

namespace tavro::member_cache {

namespace {

struct Entry {
    const Atom* owner = nullptr;
    Atom* member = nullptr;
    uint32_t length = 0;
    char name[kMaxCachedName];
};

constexpr size_t kEntries = 4096;
Entry gEntries[kEntries];

size_t slotOf(const Atom* owner, std::string_view name)
{
    // Length and three characters tell names apart well enough for a cache
    // that verifies every hit; mixed with the owner's address.
    size_t n = name.size();
    uint64_t h = n;
    if (n > 0) {
        h = h * 0x100000001B3ull + static_cast<unsigned char>(name[0]);
        h = h * 0x100000001B3ull + static_cast<unsigned char>(name[n - 1]);
        h = h * 0x100000001B3ull + static_cast<unsigned char>(name[n / 2]);
    }
    h ^= reinterpret_cast<uintptr_t>(owner) >> 4;
    h *= 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 52) & (kEntries - 1);
}

bool matches(const Entry& e, const Atom* owner, std::string_view name)
{
    return e.owner == owner && e.length == name.size() &&
           (name.empty() || std::memcmp(e.name, name.data(), name.size()) == 0);
}

}  // namespace

bool Lookup(const Atom* owner, std::string_view name, Atom*& member)
{
    if (name.size() > kMaxCachedName) return false;
    const Entry& e = gEntries[slotOf(owner, name)];
    if (!matches(e, owner, name)) return false;
    // A member dropped or recycled since no longer hangs under the owner by
    // this name.
    if (e.member && (e.member->Parent != owner || TextOf(e.member) != name)) return false;
    member = e.member;
    return true;
}

void Store(const Atom* owner, std::string_view name, Atom* member)
{
    if (name.size() > kMaxCachedName) return;
    Entry& e = gEntries[slotOf(owner, name)];
    e.owner = owner;
    e.member = member;
    e.length = static_cast<uint32_t>(name.size());
    // An empty name (the segment between two dots) has no bytes to copy.
    if (!name.empty()) std::memcpy(e.name, name.data(), name.size());
}

void Forget(const Atom* owner, std::string_view name)
{
    if (name.size() > kMaxCachedName) return;
    Entry& e = gEntries[slotOf(owner, name)];
    if (matches(e, owner, name)) e.owner = nullptr;
}

void Clear()
{
    for (Entry& e : gEntries) e.owner = nullptr;
    NoteTreeChange();
}

}  // namespace tavro::member_cache

namespace tavro::member_index {

namespace {

// Looked up by string_view without building a string.
struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
using Index = std::unordered_map<std::string, Atom*, NameHash, std::equal_to<>>;
std::unordered_map<const Atom*, std::unique_ptr<Index>> gIndexes;

Index* indexOf(const Atom* owner)
{
    if (gIndexes.empty()) return nullptr;
    auto it = gIndexes.find(owner);
    return it == gIndexes.end() ? nullptr : it->second.get();
}

}  // namespace

bool Lookup(const Atom* owner, std::string_view name, Atom*& member)
{
    Index* index = indexOf(owner);
    if (!index) return false;
    auto it = index->find(name);
    member = it == index->end() ? nullptr : it->second;
    return true;
}

void Build(const Atom* owner)
{
    auto index = std::make_unique<Index>();
    for (Atom* m = owner->FirstChild; m; m = m->NextSibling) {
        std::string name = NamesCaseSensitive() ? std::string(TextOf(m)) : Normalize(TextOf(m));
        // The chain runs newest first: the first member of a name wins.
        index->emplace(std::move(name), m);
    }
    gIndexes[owner] = std::move(index);
}

void Attached(const Atom* owner, std::string_view name, Atom* member)
{
    Index* index = indexOf(owner);
    if (!index) return;
    auto it = index->find(name);
    if (it != index->end())
        it->second = member;
    else
        index->emplace(std::string(name), member);
}

void Detached(const Atom* owner, std::string_view name, const Atom* member, Atom* next)
{
    Index* index = indexOf(owner);
    if (!index) return;
    auto it = index->find(name);
    if (it == index->end() || it->second != member) return;
    if (next)
        it->second = next;
    else
        index->erase(it);
}

void Drop(const Atom* owner)
{
    if (!gIndexes.empty()) gIndexes.erase(owner);
}

void Clear() { gIndexes.clear(); }

void DropUnless(bool (*keep)(const Atom* owner))
{
    std::erase_if(gIndexes, [&](const auto& entry) { return !keep(entry.first); });
}

}  // namespace tavro::member_index
