// tavro: the desktop environment.
#include "startup.h"

int main(int argc, char** argv)
{
    tavro::shell::EnsureLargeStack(argv);
    return tavro::shell::RunEnvironment(argc, argv);
}
