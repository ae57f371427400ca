/* A program that does nothing until it is stopped, for the process tests: planted where the
   definitions name an executable, or started under another name. It ends by itself after
   ten minutes so that a failed test leaves nothing running for long. */
#include <windows.h>

int main(void) {
  Sleep(10 * 60 * 1000);
  return 0;
}
