// One of every fake service, and the Platform view that program code takes.
#pragma once

#include "fakes/fake_files.h"
#include "fakes/fake_misc.h"
#include "fakes/fake_notify.h"
#include "fakes/fake_processes.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_signatures.h"
#include "fakes/fake_system.h"
#include "fakes/fake_web.h"

namespace kx::fakes {

struct FakePlatform {
  // The machine starts with the special folders of the system layout planted.
  FakePlatform() { PlantSystemFolders(); }
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // Creates every non-empty special folder, the Windows, system and program folders.
  void PlantSystemFolders();

  kx::Platform platform() {
    return {registry, files, system, processes, web, restore, com, shell, locks, clock, signatures, notifyArea};
  }

  FakeRegistry registry;
  FakeFileSystem files;
  FakeSystemInfo system;
  FakeProcesses processes;
  FakeWeb web;
  FakeSystemRestore restore;
  FakeCom com;
  FakeShell shell;
  FakeLocks locks;
  FakeClock clock;
  FakeSignatures signatures;
  FakeNotificationArea notifyArea;
};

}  // namespace kx::fakes
