/*
 * sound.DLL - playing media files (service 24). The desktop environment
 * plays them; without it nothing happens.
 */
#include "tavro_kit.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT TAtom *PLAYSOUND(TStructure **state)
{
    TStructure *s = *state;
    TAtom *file, *player;
    long double n = 1;
    char *name;
    if (!tavro_arg(s, "file", &file) || !tavro_is_word_or_number(file))
        return tavro_fail_input(s, file);
    if (tavro_arg(s, "player", &player) && !tavro_to_number(player, &n))
        return tavro_fail_input(s, player);
    name = tavro_to_text(file);
    tavro_service_text(s, TAVRO_SVC_PLAY, name ? name : "", n);
    free(name);
    return TAVRO_NOVALUE;
}
