// Room to report that memory ran out.
//
// While a program runs, the process's data limit is the program's ceiling:
// a runaway program is refused memory there, long before the machine runs
// short. Between runs the limit is the environment's, a margin above the
// ceiling, so that the windows, the output and the collector keep working
// even while a program's values still fill its ceiling. A block of address
// space is held in reserve besides, for limits that are not ours (an
// address-space limit, a container's memory limit).
//
// When memory runs out, GiveRoomForError frees the reserve and lifts the
// limit to the environment's, so the error can be formatted, reported and
// the stack unwound.
#pragma once

#include <cstddef>

namespace tavro {

// The two data limits in bytes of the whole process (0: no limit of ours).
void SetMemoryLimits(size_t programLimit, size_t environmentLimit);

// A top-level run begins: the program's limit applies, the reserve is
// taken back if the system has room for it. When values still held fill
// the ceiling, the run may grow a little beyond them (up to half the
// environment's margin), so that a command can still let them go.
void EnterProgramLimit();
// The run has ended: the environment's limit applies.
void LeaveProgramLimit();

// While the environment handles its own events in the middle of a run
// (painting, input, a dialog), the margin is open to it: what it allocates
// is not the program's, and a window system that cannot start a thread or
// map a buffer may hang instead of failing.
class EnvironmentRoom {
public:
    EnvironmentRoom();
    ~EnvironmentRoom();
    EnvironmentRoom(const EnvironmentRoom&) = delete;
    EnvironmentRoom& operator=(const EnvironmentRoom&) = delete;
};

// Memory ran out: the reserve goes, the environment's limit applies and
// the heap stops growing by more than it is asked for.
void GiveRoomForError();

// The collector frees values in large batches that the next statements
// allocate again: the heap keeps that memory instead of handing it back
// to the system and faulting it in anew, and grows in steps of 16 MB (until
// memory first runs out). Called once at start-up, before any thread.
void KeepFreedMemory();
// The same for a process about to die: system calls only, for a signal
// handler.
void GiveRoomInCrash();

// The program's limit (0: none of ours).
size_t ProgramLimit();

// True while the reserve is held.
bool MemoryReserveHeld();

// Data memory mapped by the process now (heap, private mappings, stacks),
// in bytes; 0 when it cannot be read. Makes no allocation.
size_t DataInUse();

}  // namespace tavro
