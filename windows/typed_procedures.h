// Procedures typed into the command window outlive a program's run.
//
// Running a program (F9, F8, F7, F4) or the stop command forgets the whole
// memory and runs the library programs again. The definitions the user
// typed as commands are kept as their text and run again right after, so
// that they are there before the program starts (a definition of the same
// name in the program replaces them). Only a procedure that still exists
// when the memory is reset is kept; one erased since is dropped.
#pragma once

#include <string>
#include <vector>

namespace tavro {

class TypedProcedures {
public:
    // Notes a command text that ran: when it starts with "to", its
    // definition (up to the "end" that closes it) is kept under its name.
    void Note(const std::string& text);
    // The definitions of the kept procedures that still exist, in the
    // order they were typed (read before the reset).
    std::vector<std::string> StillDefined();
    // Runs the definitions again (after the reset) and returns the names
    // they define, in order. Call with what StillDefined gave.
    std::vector<std::string> Define(const std::vector<std::string>& definitions);
    // Forgets everything kept (resetting the memory on request).
    void Forget() { kept_.clear(); }
    bool Empty() const { return kept_.empty(); }

    // The name and the definition text of a typed command text; empty
    // when it defines no procedure.
    static std::pair<std::string, std::string> DefinitionOf(const std::string& text);

private:
    std::vector<std::pair<std::string, std::string>> kept_;  // name, text
};

TypedProcedures& TheTypedProcedures();

// Around a reset that a run or the stop command makes: the typed
// procedures are defined again after it, and the output says so (in one
// line, the first time only).
class KeepTypedProcedures {
public:
    KeepTypedProcedures();
    // Call right after the reset.
    void Restore();

private:
    std::vector<std::string> definitions_;
};

}  // namespace tavro
