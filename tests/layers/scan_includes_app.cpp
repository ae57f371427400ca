// Must not compile: a feature reaching up into the main window.
#include "app/frm_main.h"
