#include "value_stack.h"

#include "state.h"

namespace tavro {

void TStack::Push(Atom* value)
{
    // AddRef ignores null and NoValue, which are never counted.
    values_.push_back(AddRef(value));
}

Atom* TStack::Pop()
{
    Atom* top = nullptr;
    if (!values_.empty()) {
        top = values_.back();
        values_.pop_back();
        Release(top);
    }
    LastPopped = top;
    return top;
}

Atom* TStack::Peek(int depth) const
{
    if (depth < 0 || depth >= Count()) return nullptr;
    return values_[values_.size() - 1 - size_t(depth)];
}

void TStack::Clear()
{
    for (Atom* v : values_) Release(v);
    values_.clear();
}

}  // namespace tavro
