#include "output.h"

#include "environment.h"
#include "errors.h"
#include "interpreter.h"
#include "log.h"

namespace tavro {

void OutputLine(std::string_view text, int colour, bool bold)
{
    Env().WriteLine(text, colour, bold);
    LogLine(logOutput, text);
}

void OutputAppend(std::string_view text) { Env().AppendToLastLine(text); }

namespace {
// Large enough that a line of ordinary size is one piece.
constexpr size_t kPieceBytes = 64 * 1024;
}  // namespace

void OutputLineWriter::Put(std::string_view piece)
{
    if (buffer_.size() + piece.size() <= kPieceBytes) {
        buffer_.append(piece);
        return;
    }
    if (!buffer_.empty()) {
        flush(buffer_);
        buffer_.clear();
    }
    // A long word goes out in slices, never copied whole.
    while (piece.size() > kPieceBytes) {
        flush(piece.substr(0, kPieceBytes));
        piece.remove_prefix(kPieceBytes);
    }
    buffer_.assign(piece);
}

void OutputLineWriter::flush(std::string_view piece)
{
    if (!started_) {
        Env().WriteLine(piece);
        LogLinePiece(logOutput, piece, true, false);
        started_ = true;
    } else {
        Env().AppendToLastLine(piece);
        LogLinePiece(logOutput, piece, false, false);
    }
    if (!MessagePumpingSuppressed) Env().ProcessMessages();
    if (RunState == rsStopRequested) RaiseStop();
}

void OutputLineWriter::Finish()
{
    if (!started_) {
        OutputLine(buffer_);
    } else {
        Env().AppendToLastLine(buffer_);
        LogLinePiece(logOutput, buffer_, false, true);
    }
    buffer_.clear();
    started_ = false;
}

}  // namespace tavro
