#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "installation.h"
#include "message_table.h"
#include "modes.h"
#include "state.h"
#include "structure.h"

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

bool PrepareDeveloperMode(const std::string& path, std::string& text)
{
    if (!ReadSource(path, text)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    CreateState();
    PushContext(CreatePath(nullptr, "[Root]", nullptr, false));
    LoadErrorMessages("English");
    return true;
}

}  // namespace tavro::runner
