// The parser (translator): turns the lexer's token stream into the program
// list that the executor runs. It evaluates nothing and looks up no names.
//
// The result is a chain of list cells, one per element, each stamped with a
// copy of CurrentPosition at the last token of its element (the word itself,
// or the closing "]" / ")"). Elements are:
// - words (TokenText) for ordinary tokens, numbers included, quoted tokens,
//   line ends (the word ","), ":", the double quote and other delimiters
//   that carry no structure ("!", "}");
// - a nested list (the head of its chain, null for "[]") for "[" ... "]";
// - a group for "(" ... ")": its chain's cells have Kind akGroup;
// - a procedure definition, rewritten into the five elements
//     make local " NAME DEFINITION
//   (the reserved words normalised; only the "make" cell has a position,
//   that of "to"). DEFINITION is a list whose first element is the
//   parameter list and whose further cells are the body's own cells; with
//   left parameters ("to :a plus :b ...") the left-parameter list comes
//   first and the parameter list second. A parameter list is the flat run
//   of marker and name words as written (: a " b), null when empty.
//
// Other rules:
// - comments disappear: a token starting with ";" or "{" (the lexer
//   reports a brace comment that the text leaves open);
// - "end" and "to" are recognised in any letter case, never when quoted;
//   quoted tokens never carry structure;
// - a "(" glued to the word before it (no gap, the word ending in a letter,
//   digit, "#", "?" or a byte >= 128), or glued to a "]" or ")" that closes
//   the element before it, gets the member operator: the word "." is
//   inserted before the group (f(2) gives f . (2); f (2) gives f (2));
// - a "[" that follows a line-end word replaces it, so a list may start on
//   the line after its command;
// - inside parentheses line ends are dropped.
#pragma once

#include <string>

#include "atom.h"

namespace tavro {

// What Parse is reading: the structure it was called for.
enum ParseMode : int {
    pmList = 0,        // a bracket list, or the whole text at top level
    pmGroup = 1,       // a parenthesised group, called after "("
    pmDefinition = 2,  // a definition body, called after "to"
};

// Reads tokens with NextToken until the end of its structure and returns
// the head of the built chain (null when empty). `topLevel` is true only for
// the outermost call, which reads the whole text.
//
// Errors (key "UNMATCHED" with the argument shown):
// - top level: "]" -> "]", "end" -> "end", ")" -> ")";
// - nested list: end of text or "end" -> "[", ")" -> ")";
// - group: end of text, "]" or "end" -> "(";
// - definition body: end of text -> "to", "]" -> "]", ")" -> ")".
// The "[", "(" and "to" errors leave CurrentPosition at the opening token;
// the others at the offending token. Nesting too deep for the machine
// stack raises "DEEPRECURSION".
// A definition with nothing but left parameters between "to" and "end"
// raises "NONAME" with CurrentPosition at the "to". The name and the
// elements after each parameter pair must be words ("BADSTRING" with the
// element's printed form otherwise), so a body cannot start with a list or
// group right after the name and parameters.
//
// Where a bracket list reads otherwise than in other Logos:
// - "output" or "op" alone at the end of a line inside [ ] with more of the
//   list after it raises "LISTBREAK" at that word: the line break ends the
//   statement, so it would output nothing and the next line would be lost
//   (if :n = 0 [output <line break> :acc]);
// - a "-" glued between two words that start with a letter ([well-known])
//   is the minus operator; the reader calls MinusInListWord with the whole
//   glued text ("well-known") when it is set, so the user can be told.
Atom* Parse(int mode, bool topLevel);

// Set by the executor to note a word split by "-" inside a list.
extern void (*MinusInListWord)(const std::string& word);

}  // namespace tavro
