#include "reserved_words.h"

#include <array>

#include "state.h"

namespace tavro {

namespace {

constexpr std::array<std::string_view, ReservedWordCount> kWords = {
    "to", "ob", "make", "print", "run", "if", "local", "while", "repeat",
    "output", "end", "dll", "ondrawimage", "onchange", "onlocalchange",
    "onidentity", "ondrag", "oninteractive", "oninteractiveplane", "get_",
    "put_", "definition", "history", "onhistorycreate", "onhistoryupdate",
    "onpriority", "onleftassociation", "onbeforemake", "onaftermake",
    "scale", "cscx", "cscy", "onmousedown", "onmousemove", "onmouseup",
    "onmouseclick", "onplan", "lambda", "ondepend"};

}  // namespace

std::string_view Reserved(int index) { return kWords[index]; }

namespace detail {
std::string gNormalizedReserved[ReservedWordCount];
std::string gUpperReserved[ReservedWordCount];

namespace {
// Fills both columns when the program starts, before any lookup.
const bool gFilled = [] {
    for (int i = 0; i < ReservedWordCount; ++i) {
        gNormalizedReserved[i] = std::string(kWords[i]);
        gUpperReserved[i] = UpperCase(kWords[i]);
    }
    return true;
}();
}  // namespace
}  // namespace detail

void RefreshReservedWords()
{
    for (int i = 0; i < ReservedWordCount; ++i) detail::gNormalizedReserved[i] = Normalize(kWords[i]);
}

}  // namespace tavro
