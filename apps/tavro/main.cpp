// tavro: the desktop environment.
#include "memory_room.h"
#include "startup.h"

int main(int argc, char** argv)
{
    tavro::shell::EnsureLargeStack(argv);
    tavro::KeepFreedMemory();
    return tavro::shell::RunEnvironment(argc, argv);
}
