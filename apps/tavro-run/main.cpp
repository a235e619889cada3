// tavro-run: the headless command-line environment.
#include <cstdio>
#include <cstring>
#include <string>

#include "modes.h"

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--parse") == 0) return tavro::runner::ParseMode(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--code") == 0) return tavro::runner::CodeMode(argv[2]);
    std::fprintf(stderr, "usage: tavro-run --parse FILE | --code FILE\n");
    return 2;
}
