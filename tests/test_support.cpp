// Shared helpers for the test executables live beside this file (test_support.h).
