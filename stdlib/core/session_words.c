/*
 * session_words.c - the session as a whole: bye, and the words of other
 * Logos that have no meaning on this plane (penerase, wrap, fence), which
 * say what to use instead.
 */
#include "core.h"

/* bye: the environment is asked to close (the runner ends at once, the
   desktop closes as its close button does, once this run has stopped). */
NATIVE(BYE)
{
    TStructure *s = *state;
    tavro_service_plain(s, TAVRO_SVC_QUIT);
    tavro_raise_stop(s);
    return TAVRO_NOVALUE;
}

/* window: the mode the plane always has. */
NATIVE(WINDOW)
{
    (void)state;
    return TAVRO_NOVALUE;
}

/* The trail is recorded as drawn and the plane has no edges: these raise
   their message, naming the word as the user called it. */
NATIVE(PENERASE) { return fail_key(*state, "NOPENERASE"); }
NATIVE(WRAP) { return fail_key(*state, "NOWRAP"); }
NATIVE(FENCE) { return fail_key(*state, "NOFENCE"); }

/* What the words of a session keep, forgotten at every start and reset
   (the library program runs this last). */
NATIVE(NEWSESSION)
{
    (void)state;
    forget_symbols();
    forget_property_lists();
    forget_tests();
    return TAVRO_NOVALUE;
}
