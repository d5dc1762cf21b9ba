// Compiles the shared headers as C++20; see layout_check.c.
#include "devtypes.h"
#include "lumidrive.h"
#include "showtape.h"

static_assert(sizeof(char16_t) == sizeof(DevChar));
int layout_check_anchor_cpp() { return static_cast<int>(sizeof(DevInfo)); }
