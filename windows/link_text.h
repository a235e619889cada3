// The address rules of the info window, free of any widget: which scheme
// an address uses, the argument a private-scheme address carries, what the
// address box navigates to, and how the text of an "exec://" or "copy://"
// link becomes command lines.
//
// Private schemes: "view://TOPIC" opens a help topic, "exec://TEXT" runs a
// command text, "copy://TEXT" puts a command text on the clipboard, and
// "res://" addresses are always refused. Scheme names are matched without
// regard to letter case, as in any address.
#pragma once

#include <string>
#include <string_view>

namespace tavro {

enum class LinkScheme { Refused, View, Exec, Copy, Other };

// Refused for any address containing "res://"; View, Exec or Copy for an
// address starting with that scheme; Other for everything else.
LinkScheme SchemeOf(std::string_view address);

// True for addresses of web pages: "http://", "https://" (any letter
// case) and "mailto:".
bool IsWebAddress(std::string_view address);

// True for "view://", "exec://" and "copy://" addresses.
bool IsPrivateAddress(std::string_view address);

// The argument of a private-scheme address: blanks trimmed, everything up
// to and including the first "://" removed, one trailing "/" removed,
// blanks trimmed again. Empty means the address carries nothing (and is
// to be cancelled).
std::string LinkArgument(std::string_view address);

// "%XX" (two hexadecimal digits) as the byte it stands for; a "%" without
// two such digits after it stays as it is. The view reports a link to the
// topic ">" as "view://%3E": the topic is the decoded name.
std::string PercentDecoded(std::string_view text);

// Where Enter in the address box goes: the text itself when it contains
// "://", else "view://" followed by the text.
std::string AddressForTyped(std::string_view typed);

// Turns the text of a link into command lines separated by carriage
// returns:
//  1. "<B>", "</B>" -> nothing; "%20" -> blank; "<TR><TD>", "</TD></TR>"
//     -> nothing; "<br />" -> carriage return (each repeated until the
//     searched text no longer occurs, in this order).
//  2. Every piece before a carriage return loses the "<TABLE>" and
//     "</TABLE>" tags at its start (blanks and control characters at both
//     ends are trimmed after each tag); each "<TABLE>" indents the
//     following lines by four blanks more, each "</TABLE>" by four less.
//     The pieces are joined by carriage returns; after each piece the rest
//     of the text is trimmed.
//  3. The rest after the last carriage return follows after one more
//     carriage return, without tag handling or indentation. A text without
//     any line break therefore gives a carriage return and the text.
std::string DecodeLinkText(std::string_view text);

}  // namespace tavro
