#include "native_words.h"

#include <string>
#include <utility>

#include "errors.h"
#include "reserved_words.h"
#include "state.h"

namespace tavro {

namespace {
NativeResolver gResolver = nullptr;

struct KnownFunction {
    TNativeFunction fn;
    CoreWord word;
};
constexpr size_t kCoreWords = size_t(CoreWord::Or);
// The addresses found so far, by a hash of the address: every call of a
// library wrapper asks, and nearly all ask about another function, which
// the first empty slot answers.
constexpr size_t kSlots = 64;
KnownFunction gSlots[kSlots];

size_t slotOf(TNativeFunction fn) { return (reinterpret_cast<uintptr_t>(fn) >> 4) & (kSlots - 1); }

CoreWord coreWordNamed(std::string_view function)
{
    static constexpr std::pair<std::string_view, CoreWord> kNames[] = {
        {"SUM", CoreWord::Sum},
        {"DIFFERENCE", CoreWord::Difference},
        {"PRODUCT", CoreWord::Product},
        {"QUOTIENT", CoreWord::Quotient},
        {"EQUALP", CoreWord::Equal},
        {"NOTEQUALP", CoreWord::NotEqual},
        {"LESSP", CoreWord::Less},
        {"GREATERP", CoreWord::Greater},
        {"LESSEQUALP", CoreWord::LessEqual},
        {"GREATEREQUALP", CoreWord::GreaterEqual},
        {"COUNT", CoreWord::Count},
        {"ITEM", CoreWord::Item},
        {"WORD", CoreWord::Word},
        {"UPPERCASE", CoreWord::Uppercase},
        {"LOWERCASE", CoreWord::Lowercase},
        {"FIRST", CoreWord::First},
        {"LAST", CoreWord::Last},
        {"BUTFIRST", CoreWord::Butfirst},
        {"FPUT", CoreWord::Fput},
        {"EMPTYP", CoreWord::Emptyp},
        {"NOT", CoreWord::Not},
        {"AND", CoreWord::And},
        {"OR", CoreWord::Or},
    };
    for (const auto& [name, word] : kNames)
        if (name == function) return word;
    return CoreWord::None;
}
}  // namespace

bool IsNativeWord(std::string_view word)
{
    const std::string& prefix = UpperReserved(rwDll);
    if (word.size() <= prefix.size() || word[prefix.size()] != '.') return false;
    return UpperCase(word.substr(0, prefix.size())) == prefix;
}

void SetNativeResolver(NativeResolver resolver) { gResolver = resolver; }

TNativeFunction ResolveNativeWord(std::string_view word)
{
    if (!gResolver) RaiseError("BADNATIVE", {std::string(word)});
    return gResolver(word);
}

void NoteResolvedNative(std::string_view library, std::string_view function, TNativeFunction fn)
{
    if (UpperCase(library) != "CORE") return;
    CoreWord word = coreWordNamed(function);
    if (word == CoreWord::None) return;
    // Two addresses for one name mean two files called core: neither is
    // trusted to be the one whose results the executor knows. The first
    // stays in its slot as an address of no known function.
    static bool doubtful[kCoreWords + 1];
    if (doubtful[size_t(word)]) return;
    for (KnownFunction& known : gSlots) {
        if (known.fn == fn) return;
        if (known.fn && known.word == word) {
            doubtful[size_t(word)] = true;
            known.word = CoreWord::None;
            return;
        }
    }
    // At most one slot a name: never full.
    size_t i = slotOf(fn);
    while (gSlots[i].fn) i = (i + 1) & (kSlots - 1);
    gSlots[i] = {fn, word};
}

CoreWord CoreWordOf(TNativeFunction fn)
{
    for (size_t i = slotOf(fn);; i = (i + 1) & (kSlots - 1)) {
        if (gSlots[i].fn == fn) return gSlots[i].word;
        if (!gSlots[i].fn) return CoreWord::None;
    }
}

}  // namespace tavro
