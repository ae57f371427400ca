// Must not compile: the core layer reaching up into the app layer.
#include "app/app.h"
