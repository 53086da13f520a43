#include "log/ClsBase.h"

// ClsBase is header-only; this unit keeps the one-pair-per-class layout.
