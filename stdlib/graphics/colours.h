/*
 * Colours as Logo programs write them: the forms every colour word takes.
 */
#ifndef TAVRO_GRAPHICS_COLOURS_H
#define TAVRO_GRAPHICS_COLOURS_H

#include "tavro_kit.h"

/* Reads the colour that the running word's inputs r, g and b give, into
   rgb as components 0 to 1:
     one input r: a colour number 0 to 15 (the standard palette), a colour
                  name ("red, "orange ...; see colour_name) or a list of
                  three numbers [r g b];
     r, g and b:  three numbers.
   Components are 0 to 1, unless one of them is above 1: then all three are
   on the 0 to 255 scale. Returns 1, or 0 after raising BADCOLOUR, which
   names the word, the input and the forms there are. */
int colour_inputs(TStructure *s, double rgb[3]);

/* One value as a colour: a number 0 to 15, a name or a list [r g b]. 1,
   or 0 after raising BADCOLOUR. */
int colour_value(TStructure *s, TAtom *v, double rgb[3]);

#endif
