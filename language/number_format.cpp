#include "number_format.h"

// The formatting and parsing rules live in the SDK's kit so that native
// libraries print and read numbers exactly as the interpreter does.
#include "tavro_kit.h"

namespace tavro {

std::string FormatNumber(long double x)
{
    char buf[TAVRO_NUMBER_TEXT_SIZE];
    size_t n = tavro_format_number(x, buf);
    return std::string(buf, n);
}

bool ParseNumber(std::string_view text, long double& value)
{
    return tavro_parse_number(text.data(), text.size(), &value) != 0;
}

}  // namespace tavro
