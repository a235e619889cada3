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

struct Columns {
    std::array<std::string, ReservedWordCount> normalized;
    std::array<std::string, ReservedWordCount> upper;
    bool built = false;
};

Columns& columns()
{
    static Columns c;
    if (!c.built) {
        c.built = true;
        for (int i = 0; i < ReservedWordCount; ++i) {
            c.upper[i] = UpperCase(kWords[i]);
            c.normalized[i] = Normalize(kWords[i]);
        }
    }
    return c;
}

}  // namespace

std::string_view Reserved(int index) { return kWords[index]; }

const std::string& NormalizedReserved(int index) { return columns().normalized[index]; }

const std::string& UpperReserved(int index) { return columns().upper[index]; }

void RefreshReservedWords()
{
    Columns& c = columns();
    for (int i = 0; i < ReservedWordCount; ++i) c.normalized[i] = Normalize(kWords[i]);
}

}  // namespace tavro
