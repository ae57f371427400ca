// Must compile: a layer using one below it (the check's own control case).
#include "core/paths.h"
#include "definitions/records.h"
#include "platform/services.h"
