// TStack: the value stack one code evaluation runs on.
//
// The stack holds one reference on every value it carries (none for null,
// the empty list, or NoValue). Every Pop records its result in the shared
// LastPopped, including the null that an empty stack pops.
#pragma once

#include <cstddef>

#include "atom.h"
#include "state.h"

namespace tavro {

class TStack {
public:
    TStack() = default;
    TStack(const TStack&) = delete;
    TStack& operator=(const TStack&) = delete;
    // Drops the references of whatever is left, without touching LastPopped.
    // An empty stack on its own slots (most, at the end of an evaluation)
    // has nothing to give up.
    ~TStack()
    {
        if (count_ > 0 || values_ != inline_) destroy();
    }

    // Appends `value` and takes a reference on it.
    void Push(Atom* value)
    {
        if (count_ == capacity_) Grow();
        // AddRef ignores null and NoValue, which are never counted.
        values_[count_++] = AddRef(value);
    }
    // Removes the top and gives up its reference; null when the stack is
    // empty. Sets LastPopped to the result.
    Atom* Pop()
    {
        Atom* top = count_ > 0 ? Release(values_[--count_]) : nullptr;
        LastPopped = top;
        return top;
    }
    // The value `depth` places below the top (0: the top); null when there
    // is none. Nothing changes.
    Atom* Peek(int depth = 0) const
    {
        if (depth < 0 || depth >= Count()) return nullptr;
        return values_[count_ - 1 - size_t(depth)];
    }
    int Count() const { return static_cast<int>(count_); }
    // Removes every value, giving up their references; LastPopped stays.
    void Clear()
    {
        while (count_ > 0) Release(values_[--count_]);
    }

private:
    void Grow();
    void destroy();

    // Most evaluations need a few slots: they live inside the object, and
    // only deeper stacks go to the heap.
    static constexpr size_t kInline = 16;
    Atom* inline_[kInline];
    Atom** values_ = inline_;
    size_t count_ = 0;
    size_t capacity_ = kInline;
};

}  // namespace tavro
