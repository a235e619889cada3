// A lookup cache for members by name.
//
// Finding a member walks its owner's member chain, and the root holds every
// procedure of the libraries, so unaided lookups from the root cost a scan
// of hundreds of names per statement. The cache remembers, per (owner,
// normalised name), the first member of that name or that there is none.
// The tree operations keep it right: Attach records the new member (it is
// now the first of its name), Detach and renaming forget entries, and nodes
// dropped wholesale lose their Parent, which every hit checks. Entries are
// direct-mapped; a collision simply replaces the older entry. Names longer
// than kMaxCachedName are never cached. The collector clears the cache
// after every sweep, so no entry outlives the atoms it names. Activation
// records and the name "[]" bypass the cache altogether.
#pragma once

#include <string_view>

#include "atom.h"

namespace tavro::member_cache {

constexpr size_t kMaxCachedName = 40;

// True when the cache knows the answer; *member is then the first member
// named `name` (already normalised) or null when there is none.
bool Lookup(const Atom* owner, std::string_view name, Atom*& member);
// Records the answer of a full scan (member may be null).
void Store(const Atom* owner, std::string_view name, Atom* member);
// Forgets what is known about `name` under `owner`.
void Forget(const Atom* owner, std::string_view name);
// Forgets everything (the naming mode changed, or the pool went away).
void Clear();

}  // namespace tavro::member_cache

// An exact index of the members of owners with many members.
//
// The cache above remembers names already looked up; a name never seen
// before (every new variable or procedure) would still cost a scan of the
// owner's whole member chain, so defining n names would cost n^2. Owners
// whose chain is longer than kIndexedMembers get an index from normalised
// name to the first member of that name, built on the first long scan and
// kept exact by the tree operations (Attach, Detach, renaming); operations
// that drop members wholesale drop the owner's index, and the collector
// drops the indexes of the owners it is about to free (their atoms will be
// recycled); a surviving owner's members survive with it, so its index
// stays exact.
// Activation records are never indexed.
namespace tavro::member_index {

constexpr int kIndexedMembers = 48;

// True when `owner` has an index; *member is then the first member named
// `name` (normalised) or null.
bool Lookup(const Atom* owner, std::string_view name, Atom*& member);
// Builds the index of `owner` from its member chain.
void Build(const Atom* owner);
// `member` was attached to `owner` under `name`: now the first of it.
void Attached(const Atom* owner, std::string_view name, Atom* member);
// `member` was detached from `owner`; `next` is the first member of the
// same name after it, or null.
void Detached(const Atom* owner, std::string_view name, const Atom* member, Atom* next);
// Forgets the index of one owner, or of all owners.
void Drop(const Atom* owner);
void Clear();
// Forgets the index of every owner for which keep(owner) is false.
void DropUnless(bool (*keep)(const Atom* owner));

}  // namespace tavro::member_index
