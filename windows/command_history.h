// The command window's history of the last 32 non-blank lines. It lives
// for the whole program, so a reopened command window keeps it.
#pragma once

#include <array>
#include <string>

namespace tavro {

class CommandHistory {
public:
    static constexpr int kSize = 32;
    // Stores a typed line (blank lines are not stored) and resets the
    // cursor.
    void Enter(const std::string& line);
    // Up: the next older stored line, wrapping to the newest. Down: the
    // next newer, wrapping to the oldest. Empty when nothing is stored.
    std::string Up();
    std::string Down();
    bool Available() const { return available_; }
    const std::string& Entry(int i) const { return entries_[size_t(i)]; }  // 1..32

private:
    std::array<std::string, kSize + 1> entries_;  // [0] unused
    int cursor_ = 0;
    bool available_ = false;
};

CommandHistory& TheCommandHistory();

}  // namespace tavro
