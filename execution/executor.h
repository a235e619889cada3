// The statement loop and the stack machine.
//
// A list of statements runs from CurrentCell: each statement is compiled
// once (the code words stay on its first cell) and evaluated on a value
// stack. The instructions implement the reserved words that are not
// procedures (make, ob, print, run, if, local, while, repeat, output, the
// ":" and "." operators, DUMP), procedure calls and native calls.
#pragma once

#include <string>
#include <string_view>

#include "atom.h"

namespace tavro {

// Runs the statements from CurrentCell until the list ends, an empty-list
// element is met, or an output is pending.
void ExecuteList();
// ExecuteList for a program's own top-level list, which runs once: each
// statement's compiled code goes as soon as the statement has run, since
// nothing comes back to it, and a long program never holds all its code.
void ExecuteProgram();
// Runs one statement at CurrentCell and moves CurrentCell past it.
void ExecuteStatement();
// Evaluates the code words of `cell`; returns the continuation cell.
Atom* EvaluateCode(Atom* cell, bool wantValue);
// Runs `list` as a statement list with CurrentCell saved and restored.
void RunList(Atom* list);
// The `DUMP` listing of the whole name tree.
void DumpStructure();
bool IsTrue(const Atom* value);

// The program path resolution: the first existing candidate of the ten,
// as a full path, or the name unchanged when none exists.
std::string ResolveProgramPath(const std::string& name);

// Folders used by the path resolution. The executable and parent folders
// end with "/"; the configuration folder does not.
struct Folders {
    std::string Executable;
    std::string Parent;
    std::string Configuration;
};
Folders& InstallFolders();

// Drops a statement's compiled code. Code that may be running right now is
// kept alive until the current top-level run ends.
void DiscardCode(Atom* cell);
void FreeDiscardedCode();

}  // namespace tavro
