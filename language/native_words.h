// Native words as the compiler meets them: dll.LIBRARY.FUNCTION.
//
// Compiling such a word needs the address of the library function, which
// only the library loader (libraries/) can find. The loader installs its
// resolver here at start-up, so the compiler asks a floor below it and
// never calls upwards.
#pragma once

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

}  // namespace tavro
