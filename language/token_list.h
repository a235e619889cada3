// A growable list of 32-bit integers, one of the lexer's three token lists.
//
// It is kept in blocks rather than in one array, for two reasons that
// matter with long programs: growing never copies what is there, and a
// reader that only goes forward (the translator) can give back the blocks
// it has passed, so that the tokens of a million-line file are not all held
// while its parsed list grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tavro {

class TokenList {
public:
    static constexpr size_t kBlockShift = 14;
    static constexpr size_t kBlockSize = size_t(1) << kBlockShift;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Entries before the last ReleaseBefore must not be read.
    int32_t operator[](size_t i) const { return blocks_[i >> kBlockShift][i & (kBlockSize - 1)]; }

    void push_back(int32_t value)
    {
        if ((size_ & (kBlockSize - 1)) == 0) addBlock();
        tail_[size_ & (kBlockSize - 1)] = value;
        ++size_;
    }

    // Frees every block that lies wholly before entry `i`.
    void ReleaseBefore(size_t i)
    {
        for (; released_ < (i >> kBlockShift) && released_ < blocks_.size(); ++released_)
            blocks_[released_].reset();
    }

    void clear()
    {
        blocks_.clear();
        blocks_.shrink_to_fit();
        tail_ = nullptr;
        size_ = 0;
        released_ = 0;
    }

    void swap(TokenList& other) noexcept
    {
        blocks_.swap(other.blocks_);
        std::swap(tail_, other.tail_);
        std::swap(size_, other.size_);
        std::swap(released_, other.released_);
    }

private:
    [[gnu::noinline]] void addBlock()
    {
        // Not zeroed: every entry is written before it is read.
        blocks_.push_back(std::unique_ptr<int32_t[]>(new int32_t[kBlockSize]));
        tail_ = blocks_.back().get();
    }

    std::vector<std::unique_ptr<int32_t[]>> blocks_;
    int32_t* tail_ = nullptr;  // the newest block
    size_t size_ = 0;
    size_t released_ = 0;  // blocks freed from the front
};

}  // namespace tavro
