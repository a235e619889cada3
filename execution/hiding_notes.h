// Notes about names that hide procedures. In the one tree of names an
// input or local named like a procedure hides that procedure inside the
// body: `to f :list` reads the input wherever f's body says list. When a
// definition is made whose body calls (writes without : or ") a name that
// is one of its own inputs or locals and that names a procedure outside
// it, the program's output gets one note per procedure and name:
// "Note: in f, the input list hides the procedure list ...". The compiler
// asks for the notes when it compiles a definition statement, just before
// it first runs (the library programs' own definitions are not looked at).
// The same place notes, once per word, a word that a "-" splits inside a
// list as the reader finds it ([well-known] holds well - known).
#pragma once

#include <string_view>

#include "atom.h"

namespace tavro {

// Looks at the definition `value` being assigned to `name` (anything else
// is left alone: the test is a few loads) and writes the notes due.
void NoteHiddenProcedures(std::string_view name, Atom* value);

// Forgets the notes written (interpreter reset): a new run notes again.
void ForgetHidingNotes();

}  // namespace tavro
