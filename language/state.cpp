#include "state.h"

#include "atom_slabs.h"
#include "position_pool.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "atom.h"
#include "expr.h"
#include "member_cache.h"
#include "message_table.h"
#include "reserved_words.h"
#include "structure.h"
#include "utf8.h"

namespace tavro {

TStructure* State = nullptr;
Position CurrentPosition;
std::string LastErrorText;
TAtom* CurrentCell = nullptr;
TAtom* LastPopped = nullptr;

void CreateState(TServiceCallback service)
{
    if (State) return;
    State = static_cast<TStructure*>(calloc(1, sizeof(TStructure)));
    State->Epsilon = 1e-10L;
    State->CaseSensitive = 1;
    State->ServiceCallback = service ? service : FallbackServiceEntry;
    RefreshReservedWords();
}

void DestroyState()
{
    if (!State) return;
    ForgetKeepList();  // its atoms go with the pool
    while (State->Contexts) PopContext();
    member_cache::Clear();
    member_index::Clear();
    // Atoms on either list are reset first so their texts and code go too.
    for (TAtom* list : {State->AllAtoms, State->FreeAtoms}) {
        while (list) {
            TAtom* next = list->Next;
            ReleaseResource(list);
            position_pool::TakeOff(list);
            tavro_atom_clear(list);
            if (!slabs::Contains(list)) free(list);
            list = next;
        }
    }
    tavro_text_release(State->LastName);
    tavro_text_release(State->KeyBuffer);
    slabs::ReleaseAll();
    position_pool::ReleaseAll();
    free(State);
    State = nullptr;
}


void SetCaseSensitive(bool on)
{
    if (State) State->CaseSensitive = on ? 1 : 0;
    member_cache::Clear();
    member_index::Clear();
    RefreshReservedWords();
    // Names already in the tree may read as hook names in the new mode.
    if (State && State->Root && State->Root->FirstChild) {
        NoteMemberName(NormalizedReserved(rwOnBeforeMake));
        NoteMemberName(NormalizedReserved(rwLambda));
    }
}

std::string Normalize(std::string_view text)
{
    if (NamesCaseSensitive()) return std::string(text);
    return UpperCase(text);
}

namespace {

locale_t utf8Locale()
{
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        return l ? l : newlocale(LC_CTYPE_MASK, "C", nullptr);
    }();
    return loc;
}

}  // namespace

std::string UpperCase(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char c = text[i];
        if (c < 0x80) {
            out += (c >= 'a' && c <= 'z') ? char(c - 32) : char(c);
            ++i;
            continue;
        }
        char32_t cp;
        int len = utf8::Decode(text, i, cp);
        if (len == 0) {
            out += char(c);
            ++i;
            continue;
        }
        utf8::Append(static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), utf8Locale())), out);
        i += len;
    }
    return out;
}

}  // namespace tavro
