#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "modes.h"

namespace tavro::runner {

bool ReadSource(const std::string& path, std::string& text)
{
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

}  // namespace tavro::runner
