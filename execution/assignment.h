// Assignment (make, ob) with its hooks: before and after hooks, change
// handlers (onchange), recorded definitions, dependencies between objects
// with precomputed recomputation plans (onplan), history notifications and
// display-list invalidation.
#pragma once

#include <string>
#include <string_view>

#include "atom.h"
#include "value_stack.h"

namespace tavro {

struct AssignArguments {
    Atom* before = nullptr;     // list of hook procedure names, or nil
    std::string_view name;      // as written in the statement (the name
                                // word's text, held by the caller)
    const Atom* nameAtom = nullptr;  // the word that holds it, if any
    Atom* value = nullptr;      // NoValue: no value given
    Atom* after = nullptr;      // list of hook procedure names, or nil
    bool isOb = false;          // ob rather than make
    Atom* firstCell = nullptr;  // source cells of the whole statement
    Atom* lastCell = nullptr;
};

// Assigns and pushes the assigned variable node on `stack`.
void AssignVariable(TStack& stack, const AssignArguments& args);

// Calls each procedure named in `list` with the quoted name.
void RunHookList(Atom* list, const std::string& name);
void RunChangeHandlers(Atom* node);
void BuildPlan(Atom* object);
void RunPlanEntry(const std::string& fullName);
void ProcessHistoryQueue();

// Resets the plan generation counter and guard (interpreter reset).
void ResetAssignmentState();

}  // namespace tavro
