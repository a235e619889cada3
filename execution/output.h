// Text that programs write: to the environment's output window and, when
// enabled, to the log (category 1).
#pragma once

#include <string>
#include <string_view>

#include "atom.h"

namespace tavro {

// A new output line (print, DUMP, service 25).
void OutputLine(std::string_view text, int colour = 0, bool bold = false);
// Text appended to the last output line (service 11).
void OutputAppend(std::string_view text);

// One output line written in pieces, so that printing a value of any size
// needs no copy of its whole text. A line that fits in one piece is
// written with OutputLine, exactly as before; a longer one opens the line
// with its first piece and appends the others. Between pieces the
// environment processes messages, and a stop request ends the write with
// the stop interruption.
class OutputLineWriter : public TextSink {
public:
    void Put(std::string_view piece) override;
    // Writes what is left (an empty line when nothing was put).
    void Finish();

private:
    void flush(std::string_view piece);

    std::string buffer_;
    bool started_ = false;
};

}  // namespace tavro
