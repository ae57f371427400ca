// Must not compile: one feature reaching into another; they meet only in the app.
#include "report/scan_report.h"
