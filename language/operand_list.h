// The operands an expression item took: a list of item indices that keeps
// up to four in place. Almost every item takes no more, so compiling a
// statement no longer allocates a list per item.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

namespace tavro {

class OperandList {
public:
    OperandList() = default;
    OperandList(const OperandList& other) { assign(other); }
    OperandList(OperandList&& other) noexcept { take(other); }
    OperandList& operator=(const OperandList& other)
    {
        if (this != &other) {
            size_ = 0;
            assign(other);
        }
        return *this;
    }
    OperandList& operator=(OperandList&& other) noexcept
    {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~OperandList() { release(); }

    void push_back(int index)
    {
        if (size_ == capacity_) grow(capacity_ * 2);
        data_[size_++] = index;
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    int operator[](size_t i) const { return data_[i]; }

    int* begin() { return data_; }
    int* end() { return data_ + size_; }
    const int* begin() const { return data_; }
    const int* end() const { return data_ + size_; }
    std::reverse_iterator<const int*> rbegin() const { return std::reverse_iterator<const int*>(end()); }
    std::reverse_iterator<const int*> rend() const { return std::reverse_iterator<const int*>(begin()); }
    // Drops [first, end()) (the tail left by std::remove).
    void erase(int* first, int* /*last*/) { size_ = uint32_t(first - data_); }

private:
    static constexpr uint32_t kInPlace = 4;

    bool inPlace() const { return data_ == inPlace_; }
    void grow(uint32_t capacity)
    {
        auto* bigger = static_cast<int*>(std::malloc(sizeof(int) * capacity));
        if (!bigger) throw std::bad_alloc();
        std::memcpy(bigger, data_, sizeof(int) * size_);
        if (!inPlace()) std::free(data_);
        data_ = bigger;
        capacity_ = capacity;
    }
    void assign(const OperandList& other)
    {
        if (other.size_ > capacity_) grow(other.size_);
        std::memcpy(data_, other.data_, sizeof(int) * other.size_);
        size_ = other.size_;
    }
    void take(OperandList& other)
    {
        if (other.inPlace()) {
            data_ = inPlace_;
            capacity_ = kInPlace;
            std::memcpy(inPlace_, other.inPlace_, sizeof(int) * other.size_);
        } else {
            data_ = other.data_;
            capacity_ = other.capacity_;
            other.data_ = other.inPlace_;
            other.capacity_ = kInPlace;
        }
        size_ = other.size_;
        other.size_ = 0;
    }
    void release()
    {
        if (!inPlace()) std::free(data_);
        data_ = inPlace_;
        capacity_ = kInPlace;
        size_ = 0;
    }

    int* data_ = inPlace_;
    uint32_t size_ = 0;
    uint32_t capacity_ = kInPlace;
    int inPlace_[kInPlace];
};

}  // namespace tavro
