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
