// What one item of the memory window shows, worked out once when the tree
// is rebuilt, so that painting never reads a node (nodes may be released
// by a run between two rebuilds; the item keeps its texts).
//
// An item is drawn as up to three pieces, one after the other: a lead in
// normal weight, a bold part and a tail in normal weight, in one colour:
//  - no node or no value: the item text alone, in the text colour;
//  - a number, or a word that reads as a number: the name in bold, then
//    " = " and the value, in the number colour;
//  - any other word: the name in bold, then " = " and the word after a
//    double quote, in the word colour;
//  - a procedure: the left parameters and a blank (when it has some), the
//    name and a blank in bold, then the parameters (":a :b");
//  - any other list: the name in bold, then " = " and the value;
//  - a group, widget, variable or memory block: name, " = " and the value,
//    all in normal weight.
// Values are cut to their first 250 characters.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "atom.h"

namespace tavro {

inline constexpr int kMemoryValueLimit = 250;

struct ItemLook {
    enum Colour : uint8_t { TextColour, NumberColour, WordColour };
    QString Lead, Bold, Tail;
    Colour Colour = TextColour;
    QString Whole() const { return Lead + Bold + Tail; }
};

// The look of an item with the text `text` showing `node` (null for a
// call-stack entry).
ItemLook LookOf(const QString& text, const Atom* node);

// The header of a procedure whose value is `definition`: true and the two
// texts when the list has the layout of a procedure definition whose body
// starts on a new line and that has parameters.
struct ProcedureHeader {
    std::string Left;    // ":l" ... or ""
    std::string Params;  // ":a :b"
};
bool ReadProcedureHeader(const Atom* definition, ProcedureHeader& header);

// The caption of a call frame (an activation record): the procedure's
// name with the values of its inputs, as the call was written
// ("tree 40 7"); the record's dotted path for any other context.
std::string FrameCaption(const Atom* record);

}  // namespace tavro
