#include "http/HttpControl.h"

// HttpControl is a plain settings record; this unit keeps the one-pair-per-class layout.
