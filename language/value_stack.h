// TStack: the value stack one code evaluation runs on.
//
// The stack holds one reference on every value it carries (none for null,
// the empty list, or NoValue). Every Pop records its result in the shared
// LastPopped, including the null that an empty stack pops.
#pragma once

#include <vector>

#include "atom.h"

namespace tavro {

class TStack {
public:
    TStack() = default;
    TStack(const TStack&) = delete;
    TStack& operator=(const TStack&) = delete;
    // Drops the references of whatever is left, without touching LastPopped.
    ~TStack() { Clear(); }

    // Appends `value` and takes a reference on it.
    void Push(Atom* value);
    // Removes the top and gives up its reference; null when the stack is
    // empty. Sets LastPopped to the result.
    Atom* Pop();
    // The value `depth` places below the top (0: the top); null when there
    // is none. Nothing changes.
    Atom* Peek(int depth = 0) const;
    int Count() const { return static_cast<int>(values_.size()); }
    // Removes every value, giving up their references; LastPopped stays.
    void Clear();

private:
    std::vector<Atom*> values_;
};

}  // namespace tavro
