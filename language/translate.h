// Translating program text: the calling order of the lexer and the parser
// that every client uses, in one call.
#pragma once

#include <string_view>

#include "atom.h"
#include "text.h"

namespace tavro {

// Tokenizes `text` from the 1-based character `from` on and parses it into
// the program list (null for an empty text). The caller sets
// CurrentPosition.Source first; the positions stamped on the elements carry
// it. Raises LanguageError ("UNMATCHED", "BADSTRING", "NONAME") when the
// text does not translate; the token lists are cleared either way.
Atom* TranslateText(std::string_view text, int from = 1);
// The same for a text the caller already holds as a Text: it is shared, not
// copied.
Atom* TranslateSharedText(const Text& text, int from = 1);

}  // namespace tavro
