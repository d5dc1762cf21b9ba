/* Compiles the shared headers as C. Their static assertions check every record
 * size and offset, so compiling this file with -m32 and without checks both
 * pointer widths; compiling it as C at all checks the headers stay usable
 * from C. */
#include "devtypes.h"
#include "lumidrive.h"
#include "showtape.h"

int layout_check_anchor(void);
int layout_check_anchor(void) { return (int)sizeof(ShowtapeHeader); }
