// The host service entry: the one function through which native libraries
// call back into the host (its address is in the state's ServiceCallback).
// Every code is listed in tavro.h. Services that need a window, the scene
// or a widget go through the environment (environment.h) and do nothing
// harmful without one. An error raised inside a service never crosses the
// C boundary: it is kept and raised by the executor when the native
// function returns (see interpreter.h, PendingNativeError).
#pragma once

#include "atom.h"
#include "tavro.h"

namespace tavro {

intptr_t HostServiceEntry(int code, TText* text, long double n1, long double n2, long double n3,
                          long double n4);

// The numeric arguments of a service: a whole number (rounded, halves to
// even; 0 when not finite), and an atom passed by its address.
long long ServiceWhole(long double x);
Atom* ServiceAtom(long double x);

// Installs HostServiceEntry as the state's service entry and the one the
// executor stores before every native call.
void InstallHostServices();

}  // namespace tavro
