// Native words: finding the library function that a word of the form
// dll.LIBRARY.FUNCTION names.
//
// Word form. The prefix "dll" is compared in any letter case and followed
// by "."; the rest is split at its first ".": LIBRARY is the text before
// it, FUNCTION everything after it (FUNCTION may contain points). Both are
// taken as stored in the word.
//
// Library files. LIBRARY.DLL is an ELF shared object. It is loaded first
// by its bare file name (the dynamic loader's usual search: LD_LIBRARY_PATH,
// the cache, the system folders), then from the folder of the running
// executable. Libraries are never unloaded; loading one again only counts
// another reference in the dynamic loader.
//
// Functions. A FUNCTION that starts with a letter is looked up under its
// upper-cased name, so a library exports its functions under upper-case
// names (extern "C", default visibility). A FUNCTION made of digits is an
// ordinal: a library that offers ordinals exports the C array
//
//     const char* const TAVRO_ORDINALS[];
//
// terminated by a NULL entry; entry i-1 holds the export name of ordinal
// i (the name is used as it stands, not upper-cased). Each function has
// the signature TNativeFunction of tavro.h.
//
// Errors (raised through RaiseError, at compile time):
//   "BADNATIVE"   the word        not of the form above, or LIBRARY or
//                                 FUNCTION empty
//   "UNKNOWNFILE" LIBRARY.DLL     the library loads from neither place
//   "BADORDINAL"  FUNCTION        starts with a digit but is not a whole
//                                 number
//   "INMODULE"    FUNCTION, LIBRARY  no such export, no ordinal table, or
//                                 the ordinal is out of its range
#pragma once

#include <string_view>

#include "native_words.h"
#include "tavro.h"

namespace tavro {

// The address of the function that the native word names (see above).
TNativeFunction ResolveNative(std::string_view word);

}  // namespace tavro
