#include "parser.h"

#include <string>
#include <string_view>
#include <unordered_map>

#include "errors.h"
#include "lexer.h"
#include "reserved_words.h"
#include "stack_guard.h"
#include "state.h"

namespace tavro {

namespace {

bool isMarker(std::string_view text) { return text == ":" || text == "\""; }

// Reserved words of the structure are recognised in any letter case,
// whatever the naming mode.
bool tokenIsReserved(int index)
{
    if (TokenQuoted) return false;
    const std::string& reserved = UpperReserved(index);
    // Plain ASCII compares letter by letter, without making the upper-case
    // text; other bytes may change length when upper-cased.
    auto nonAscii = [] {
        for (char c : TokenText)
            if (static_cast<unsigned char>(c) >= 0x80) return true;
        return false;
    };
    if (TokenText.size() != reserved.size()) return nonAscii() && UpperCase(TokenText) == reserved;
    for (size_t i = 0; i < reserved.size(); ++i) {
        char c = TokenText[i];
        if (static_cast<unsigned char>(c) >= 0x80) return UpperCase(TokenText) == reserved;
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c != reserved[i]) return nonAscii() && UpperCase(TokenText) == reserved;
    }
    return true;
}

bool tokenIsComment()
{
    if (TokenQuoted || TokenRawText.empty()) return false;
    // The lexer has reported every brace comment left open.
    return TokenRawText[0] == ';' || TokenRawText[0] == '{';
}

// Characters that may end a word that takes a member group: f(2), a#(1).
bool endsMemberWord(std::string_view text)
{
    if (text.empty()) return false;
    unsigned char c = static_cast<unsigned char>(text.back());
    return c == '#' || c == '?' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           (c >= 'a' && c <= 'z') || c >= 128;
}

// The words of one translation, one atom per distinct text: a program
// repeats the same few words (",", "make", names) over and over, and words
// are values that nothing changes in place. Made by the outermost Parse.
struct WordTable {
    std::unordered_map<std::string, Atom*> atoms;
    int users = 0;
};
WordTable gWords;

struct WordTableUse {
    WordTableUse()
    {
        if (gWords.users++ == 0) gWords.atoms.clear();
    }
    ~WordTableUse()
    {
        if (--gWords.users == 0) gWords.atoms.clear();
    }
};

Atom* sharedWord(const std::string& text)
{
    auto [it, added] = gWords.atoms.try_emplace(text, nullptr);
    if (added) {
        try {
            it->second = NewWord(text);
        } catch (...) {
            gWords.atoms.erase(it);
            throw;
        }
    }
    return it->second;
}

[[noreturn]] void unmatched(std::string_view what) { RaiseError("UNMATCHED", {std::string(what)}); }

[[noreturn]] void unmatchedAt(const Position& opening, std::string_view what)
{
    CurrentPosition = opening;
    unmatched(what);
}

// Detaches the leading run of parameter pairs (": name" or "\" name") from
// the chain at `cell` and returns it; `cell` moves to the first element
// after the run. Each element looked at (a marker and the name after it)
// must be a word, so a list or group there raises BADSTRING.
Atom* takeParameters(Atom*& cell)
{
    Atom* first = cell;
    Atom* last = nullptr;
    while (cell && isMarker(ToTextStrict(LeftOf(cell)))) {
        last = RightOf(cell) ? RightOf(cell) : cell;
        // The name after a marker must be a word as well.
        if (last != cell) ToTextStrict(LeftOf(last));
        cell = RightOf(last);
    }
    if (!last) return nullptr;
    last->Right = nullptr;
    return first;
}

// "to" was read: appends  make local " NAME DEFINITION  (see parser.h).
void appendDefinition(Atom*& head, Atom*& tail)
{
    const Position to = CurrentPosition;
    Append(head, tail, sharedWord(NormalizedReserved(rwMake)));
    SetPosition(tail, to);
    Append(head, tail, sharedWord(NormalizedReserved(rwLocal)));
    Append(head, tail, sharedWord("\""));

    Atom* cell = Parse(pmDefinition, false);
    Atom* leftParameters = takeParameters(cell);
    if (!cell) {
        CurrentPosition = to;
        RaiseError("NONAME");
    }
    Append(head, tail, LeftOf(cell));
    cell = RightOf(cell);
    Atom* parameters = takeParameters(cell);
    // The body keeps its own cells after the parameter list(s).
    Atom* definition = NewCell(parameters, cell);
    if (leftParameters) definition = NewCell(leftParameters, definition);
    Append(head, tail, definition);
}

// Kind and position of an element's cell; the position is that of the
// element's last token.
void stamp(Atom* cell, int mode)
{
    cell->Kind = mode == pmGroup ? akGroup : akList;
    SetPosition(cell, CurrentPosition);
}

bool startsWithLetter(std::string_view text)
{
    if (text.empty()) return false;
    unsigned char c = static_cast<unsigned char>(text[0]);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128;
}

bool isLineBreak() { return !TokenQuoted && (TokenRawText == "\r" || TokenRawText == "\n"); }

bool tokenIsBareOutputWord() { return tokenIsReserved(rwOutput) || (!TokenQuoted && TokenText == "op"); }

// Follows the tokens of one bracket list for words written with a minus
// inside (well-known, Tic-Tac-Toe) and reports each to MinusInListWord.
class MinusWatch {
public:
    // Every token of the list goes through here, before it is appended.
    void See(bool afterColon)
    {
        const bool glued = end_ >= 0 && CurrentPosition.Line == line_ && CurrentPosition.Offset == end_;
        const std::string& text = TokenText;
        if (!TokenQuoted && text == "-" && glued && !minus_ && !word_.empty()) {
            minus_ = true;
            word_ += text;
            mark();
            return;
        }
        if (!TokenQuoted && minus_ && glued && startsWithLetter(text) && !isMarker(text)) {
            minus_ = false;
            split_ = true;
            word_ += text;
            mark();
            return;
        }
        Flush();
        if (!TokenQuoted && !afterColon && startsWithLetter(text)) {
            word_ = text;
            mark();
        }
    }
    void Flush()
    {
        if (split_ && MinusInListWord) {
            // A trailing minus (well-) is no part of what is noted.
            if (minus_) word_.pop_back();
            MinusInListWord(word_);
        }
        word_.clear();
        minus_ = split_ = false;
        end_ = -1;
    }

private:
    void mark()
    {
        line_ = CurrentPosition.Line;
        end_ = CurrentPosition.Offset + TokenLength;
    }
    std::string word_;
    bool minus_ = false;
    bool split_ = false;
    int line_ = -1;
    int end_ = -1;
};

// Follows the tokens of one bracket list for "output" or "op" alone at the
// end of a line with more of the list after it, and raises LISTBREAK there.
class BareOutputWatch {
public:
    // Every token of the list goes through here, before it is appended;
    // `startsStatement` when it would open a statement.
    void See(bool startsStatement)
    {
        const bool closing = !TokenQuoted && (TokenText == "]" || TokenText == ",");
        if (state_ == kLineEnded && !closing) {
            CurrentPosition = at_;
            RaiseError("LISTBREAK", {word_, word_, word_});
        }
        if (state_ != kNone && isLineBreak()) {
            state_ = kLineEnded;
        } else if (!closing && startsStatement && tokenIsBareOutputWord()) {
            state_ = kSeen;
            at_ = CurrentPosition;
            word_ = TokenRawText;
        } else {
            state_ = kNone;
        }
    }

private:
    enum { kNone, kSeen, kLineEnded } state_ = kNone;
    Position at_;
    std::string word_;
};

}  // namespace

void (*MinusInListWord)(const std::string& word) = nullptr;

Atom* Parse(int mode, bool topLevel)
{
    // Brackets nested without end must not exhaust the machine stack.
    CheckStackDepth();
    WordTableUse words;
    const Position opening = CurrentPosition;
    Atom* head = nullptr;
    Atom* tail = nullptr;
    // Offset just past the previous token when that token ended the last
    // element (an unquoted word, or the bracket closing a list or group);
    // 0 otherwise. A "(" starting there is glued to that element.
    int glueOffset = 0;
    // The last element is a line end (an unquoted ",").
    bool separatorLast = false;
    const bool inBrackets = mode == pmList && !topLevel;
    MinusWatch minusWatch;
    BareOutputWatch bareOutputWatch;

    for (;;) {
        const int previousGlue = glueOffset;
        glueOffset = 0;
        NextToken();
        if (TokenLength < 0) {
            if (mode == pmList && topLevel) break;
            unmatchedAt(opening, mode == pmList ? "[" : mode == pmGroup ? "(" : "to");
        }
        if (tokenIsComment()) continue;
        if (inBrackets) {
            const bool afterColon = tail && IsWordOrNumber(LeftOf(tail)) && TextOf(LeftOf(tail)) == ":";
            minusWatch.See(afterColon);
            bareOutputWatch.See(!tail || separatorLast);
        }

        if (!TokenQuoted) {
            const std::string& text = TokenText;
            if (text == "]") {
                if (inBrackets) {
                    minusWatch.Flush();
                    break;
                }
                if (mode == pmGroup) unmatchedAt(opening, "(");
                unmatched("]");
            }
            if (text == ")") {
                if (mode == pmGroup) break;
                unmatched(")");
            }
            // A reader of another Logo may mean the word: "end, [a to b].
            auto afterQuote = [&] { return tail && IsWordOrNumber(LeftOf(tail)) && TextOf(LeftOf(tail)) == "\""; };
            const bool inList = mode == pmList && !topLevel;
            if (tokenIsReserved(rwEnd)) {
                if (inList || afterQuote()) RaiseError("LISTEND");
                if (mode == pmDefinition) break;
                if (mode == pmList && topLevel) unmatched("end");
                unmatchedAt(opening, mode == pmList ? "[" : "(");
            }
            if (mode == pmGroup && text == ",") continue;  // a group may span lines

            if (tokenIsReserved(rwTo)) {
                if (afterQuote()) RaiseError("LISTTO");
                if (inList || mode == pmGroup) {
                    // A definition inside a list is allowed, but one that
                    // does not end before the list does was meant as words.
                    const Position to = CurrentPosition;
                    try {
                        appendDefinition(head, tail);
                    } catch (const LanguageError& e) {
                        if (e.IsStop()) throw;
                        CurrentPosition = to;
                        RaiseError("LISTTO");
                    }
                    separatorLast = false;
                    continue;
                }
                appendDefinition(head, tail);
                separatorLast = false;
                continue;
            }
            if (text == "(") {
                if (tail && previousGlue == CurrentPosition.Offset) {
                    Atom* last = LeftOf(tail);
                    if (!IsWordOrNumber(last) || endsMemberWord(TextOf(last)))
                        Append(head, tail, NewWord("."));
                }
                Atom* group = Parse(pmGroup, false);
                Append(head, tail, group);
                stamp(tail, mode);
                glueOffset = CurrentPosition.Offset + 1;
                separatorLast = false;
                continue;
            }
            if (text == "[") {
                Atom* list = Parse(pmList, false);
                // A list on the line after its command belongs to that
                // command: it takes the place of the line end.
                if (separatorLast)
                    tail->Left = list;
                else
                    Append(head, tail, list);
                stamp(tail, mode);
                glueOffset = CurrentPosition.Offset + 1;
                separatorLast = false;
                continue;
            }
        }

        Append(head, tail, sharedWord(TokenText));
        separatorLast = !TokenQuoted && TokenText == ",";
        // A separator's cell has no position: no statement starts there,
        // and a file's line ends would otherwise hold a third of its
        // positions. A list taking its place later is stamped then.
        if (separatorLast)
            tail->Kind = mode == pmGroup ? akGroup : akList;
        else
            stamp(tail, mode);
        if (!TokenQuoted) glueOffset = CurrentPosition.Offset + TokenLength;
    }
    return head;
}

}  // namespace tavro
