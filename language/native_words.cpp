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
    CoreNumberWord word;
};
constexpr size_t kCoreNumberWords = 10;
// The addresses found so far; a handful, searched in order.
KnownFunction gCoreNumberWords[kCoreNumberWords];
size_t gCoreNumberWordCount = 0;

CoreNumberWord coreNumberWordNamed(std::string_view function)
{
    static constexpr std::pair<std::string_view, CoreNumberWord> kNames[] = {
        {"SUM", CoreNumberWord::Sum},
        {"DIFFERENCE", CoreNumberWord::Difference},
        {"PRODUCT", CoreNumberWord::Product},
        {"QUOTIENT", CoreNumberWord::Quotient},
        {"EQUALP", CoreNumberWord::Equal},
        {"NOTEQUALP", CoreNumberWord::NotEqual},
        {"LESSP", CoreNumberWord::Less},
        {"GREATERP", CoreNumberWord::Greater},
        {"LESSEQUALP", CoreNumberWord::LessEqual},
        {"GREATEREQUALP", CoreNumberWord::GreaterEqual},
    };
    for (const auto& [name, word] : kNames)
        if (name == function) return word;
    return CoreNumberWord::None;
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
    CoreNumberWord word = coreNumberWordNamed(function);
    if (word == CoreNumberWord::None) return;
    // Two addresses for one name mean two files called core: neither is
    // trusted to be the one whose results the executor knows.
    static bool doubtful[kCoreNumberWords + 1];
    if (doubtful[size_t(word)]) return;
    for (size_t i = 0; i < gCoreNumberWordCount; ++i) {
        if (gCoreNumberWords[i].word != word) continue;
        if (gCoreNumberWords[i].fn != fn) {
            doubtful[size_t(word)] = true;
            gCoreNumberWords[i] = gCoreNumberWords[--gCoreNumberWordCount];
        }
        return;
    }
    if (gCoreNumberWordCount < kCoreNumberWords) gCoreNumberWords[gCoreNumberWordCount++] = {fn, word};
}

CoreNumberWord CoreNumberWordOf(TNativeFunction fn)
{
    for (size_t i = 0; i < gCoreNumberWordCount; ++i)
        if (gCoreNumberWords[i].fn == fn) return gCoreNumberWords[i].word;
    return CoreNumberWord::None;
}

}  // namespace tavro
