#include "value_stack.h"

#include <cstdlib>
#include <cstring>

#include "errors.h"

namespace tavro {

void TStack::destroy()
{
    Clear();
    if (values_ != inline_) std::free(values_);
}

void TStack::Grow()
{
    size_t capacity = capacity_ * 2;
    auto* grown = static_cast<Atom**>(std::malloc(capacity * sizeof(Atom*)));
    if (!grown) RaiseError("OUTOFMEMORY");
    std::memcpy(grown, values_, count_ * sizeof(Atom*));
    if (values_ != inline_) std::free(values_);
    values_ = grown;
    capacity_ = capacity;
}

}  // namespace tavro
