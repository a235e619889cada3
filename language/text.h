// Reference-counted texts of the ABI (TText) seen from C++.
//
// `Text` owns one reference to a TText and converts to std::string_view.
// It is exactly one pointer wide, so it can stand where the ABI has a TText
// field only when the owner releases it; inside records shared with native
// libraries the raw TText is kept and managed with the tavro_text_* calls.
#pragma once

#include <string>
#include <string_view>

#include "tavro.h"

namespace tavro {

inline std::string_view View(TText t)
{
    return t ? std::string_view(t, static_cast<size_t>(tavro_text_length(t)))
             : std::string_view();
}

// Raises "OUTOFMEMORY": a text could not be made (no memory, or longer
// than a text can be). Defined with the language errors.
[[noreturn]] void RaiseTextRefused();

// A new text (count 1); never silently empty: a refused text raises.
inline TText MakeText(std::string_view s)
{
    TText t = tavro_text_new(s.data(), s.size());
    if (!t && !s.empty()) RaiseTextRefused();
    return t;
}

// *dst := copy of s.
inline void SetText(TText* dst, std::string_view s)
{
    TText t = MakeText(s);
    tavro_text_release(*dst);
    *dst = t;
}

class Text {
public:
    Text() = default;
    Text(std::string_view s) : t_(MakeText(s)) {}
    Text(const char* s) : t_(MakeText(s)) {}
    Text(const std::string& s) : t_(MakeText(s)) {}
    static Text Share(TText t) { Text r; r.t_ = tavro_text_addref(t); return r; }
    Text(const Text& o) : t_(tavro_text_addref(o.t_)) {}
    Text(Text&& o) noexcept : t_(o.t_) { o.t_ = nullptr; }
    Text& operator=(const Text& o) { tavro_text_assign(&t_, o.t_); return *this; }
    Text& operator=(Text&& o) noexcept { std::swap(t_, o.t_); return *this; }
    ~Text() { tavro_text_release(t_); }

    std::string_view view() const { return View(t_); }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    bool empty() const { return t_ == nullptr; }
    TText raw() const { return t_; }
    // Shares another raw text by reference count.
    void assign(TText t) { tavro_text_assign(&t_, t); }
    // Hands the reference to the caller.
    TText detach() { TText t = t_; t_ = nullptr; return t; }

private:
    TText t_ = nullptr;
};

}  // namespace tavro
