#include "command_history.h"

namespace tavro {

namespace {
bool blank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }
}  // namespace

void CommandHistory::Enter(const std::string& line)
{
    cursor_ = 0;
    if (blank(line)) return;
    for (int i = kSize; i > 1; --i) entries_[size_t(i)] = entries_[size_t(i - 1)];
    entries_[1] = line;
    available_ = true;
}

std::string CommandHistory::Up()
{
    if (!available_) return {};
    do {
        cursor_ = cursor_ + 1 > kSize ? 1 : cursor_ + 1;
    } while (entries_[size_t(cursor_)].empty());
    return entries_[size_t(cursor_)];
}

std::string CommandHistory::Down()
{
    if (!available_) return {};
    do {
        cursor_ = cursor_ - 1 < 1 ? kSize : cursor_ - 1;
    } while (entries_[size_t(cursor_)].empty());
    return entries_[size_t(cursor_)];
}

CommandHistory& TheCommandHistory()
{
    static CommandHistory history;
    return history;
}

}  // namespace tavro
