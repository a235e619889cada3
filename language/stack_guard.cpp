#include "stack_guard.h"

#include <pthread.h>

#include "errors.h"

namespace tavro {

thread_local char* StackLimit = nullptr;

void InitStackGuard()
{
    if (StackLimit) return;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
    void* low = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attr, &low, &size) == 0 && size > 2 * kStackReserve) {
        // The main thread's reported size follows RLIMIT_STACK; the guard
        // page sits at the low end.
        StackLimit = static_cast<char*>(low) + kStackReserve;
    }
    pthread_attr_destroy(&attr);
}

void RaiseDeepRecursion() { RaiseError("DEEPRECURSION"); }

}  // namespace tavro
