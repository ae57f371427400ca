// Must not compile: the platform layer reaching up into core.
#include "core/paths.h"
