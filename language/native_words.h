// Native words as the compiler meets them: dll.LIBRARY.FUNCTION.
//
// Compiling such a word needs the address of the library function, which
// only the library loader (libraries/) can find. The loader installs its
// resolver here at start-up, so the compiler asks a floor below it and
// never calls upwards.
#pragma once

#include <cstdint>
#include <string_view>

#include "tavro.h"

namespace tavro {

// True when `word` starts with the native prefix ("dll." in any case).
bool IsNativeWord(std::string_view word);

// Finds the function a native word names, or raises the language error.
using NativeResolver = TNativeFunction (*)(std::string_view word);
void SetNativeResolver(NativeResolver resolver);

// The installed resolver's answer; BADNATIVE when none is installed.
TNativeFunction ResolveNativeWord(std::string_view word);

// The functions of the core library whose answers the executor may give
// itself (execution/intrinsics.h): arithmetic and comparison, then the
// commonest words on words and lists, then the logical words.
enum class CoreWord : uint8_t {
    None,
    Sum,
    Difference,
    Product,
    Quotient,
    Equal,
    NotEqual,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
    Count,
    Item,
    Word,
    Uppercase,
    Lowercase,
    First,
    Last,
    Butfirst,
    Fput,
    Emptyp,
    Not,
    And,
    Or,
};

// The loader tells of every function it found by name: `library` as the
// native word spells it, `function` as exported (upper case).
void NoteResolvedNative(std::string_view library, std::string_view function, TNativeFunction fn);

// Which of those core functions `fn` is (None for any other function, and
// for every function before the loader has found it).
CoreWord CoreWordOf(TNativeFunction fn);

}  // namespace tavro
