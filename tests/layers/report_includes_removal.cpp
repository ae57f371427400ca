// Must not compile: one feature reaching into another; they meet only in the app.
#include "removal/quarantine.h"
