// Host side of the C ABI test: builds values with the core's own code.
#include "atom.h"
#include "state.h"
#include "structure.h"

using namespace tavro;

extern "C" TStructure** abi_host_state(void)
{
    CreateState();
    if (!RootNode()) PushContext(CreatePath(nullptr, "[Root]", nullptr, false));
    return &State;
}

// The list [width 2.5] as a member "sample" of the root, holding a variable
// node with one member.
extern "C" TAtom* abi_host_sample(void)
{
    Atom* head = nullptr;
    Atom* tail = nullptr;
    Append(head, tail, NewWord("width"));
    Append(head, tail, NewNumber(2.5L));
    Atom* node = CreatePath(RootNode(), "sample", head, false);
    CreatePath(node, "colour", NewWord("red"), false);
    node->Flags |= 0x4000;
    return node;
}

extern "C" const char* abi_host_print(TAtom* atom)
{
    static std::string text;
    text = ToText(atom);
    return text.c_str();
}
