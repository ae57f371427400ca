// Must not compile: portable code reaching into the Windows implementation.
#include "platform/win32/services_win32.h"
