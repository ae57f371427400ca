// Must not compile: a feature reaching up into the main window.
#include "app/main_window/frm_main.h"
