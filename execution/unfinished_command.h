// What a typed command still waits for (the IDE's command window and the
// runner's console ask alike).
//
// A typed text that does not translate is either unfinished (an opening
// "[", "(", "{" or "'" without its partner, a "to" without its "end"):
// further lines are collected for it; or wrong (a "]" or ")" without its
// opening partner, an "end" without "to", a definition without a name):
// an error at once.
#pragma once

#include <string>
#include <vector>

namespace tavro {

struct OpenPart {
    bool Unfinished = false;
    std::string Opener;  // "[", "(", "{", "'" or "to"
    int Line = 0;        // 1-based line of the collected command it is on
    std::string Name;    // for "to": the procedure's name ("" when none yet)
};

// Classifies a translation failure of `text`: `error` is the message the
// translation raised, `offset` the 1-based byte offset of the opening it
// reported, `lineStarts` the 0-based byte offsets at which the collected
// lines begin in `text` (the first is 0).
OpenPart WhatIsOpen(const std::string& text, const std::string& error, int offset,
                    const std::vector<size_t>& lineStarts);

}  // namespace tavro
