#include "state.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "atom.h"
#include "expr.h"
#include "member_cache.h"
#include "message_table.h"
#include "reserved_words.h"
#include "structure.h"

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
    // Atoms on either list are reset first so their texts and code go too.
    for (TAtom* list : {State->AllAtoms, State->FreeAtoms}) {
        while (list) {
            TAtom* next = list->Next;
            ReleaseResource(list);
            tavro_atom_clear(list);
            free(list);
            list = next;
        }
    }
    tavro_text_release(State->LastName);
    tavro_text_release(State->KeyBuffer);
    free(State);
    State = nullptr;
}


void SetCaseSensitive(bool on)
{
    if (State) State->CaseSensitive = on ? 1 : 0;
    member_cache::Clear();
    RefreshReservedWords();
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

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when the
// bytes there are not a valid sequence.
int decodeUtf8(std::string_view s, size_t i, char32_t& cp)
{
    unsigned char c = s[i];
    int len = c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return 0;
    cp = c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        unsigned char cc = s[i + k];
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    return len;
}

void encodeUtf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
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
        int len = decodeUtf8(text, i, cp);
        if (len == 0) {
            out += char(c);
            ++i;
            continue;
        }
        encodeUtf8(static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), utf8Locale())), out);
        i += len;
    }
    return out;
}

}  // namespace tavro
