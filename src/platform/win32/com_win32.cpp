#include <windows.h>
#include <objbase.h>

#include "platform/win32/services_win32.h"

namespace kx::win32 {

bool Win32Com::Unregister(const std::string& dllPath) {
  // Self-unregistration code commonly expects COM to be initialised on the thread.
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  bool ok = false;
  if (HMODULE lib = LoadLibraryA(dllPath.c_str())) {
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto unregister = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(lib, "DllUnregisterServer")));
    if (unregister) ok = SUCCEEDED(unregister());
    FreeLibrary(lib);
  }
  SetErrorMode(oldMode);
  if (SUCCEEDED(init)) CoUninitialize();
  return ok;
}

}  // namespace kx::win32
