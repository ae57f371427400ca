// A whole program on fakes and the headless backend, with every later subsystem recorded.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/windows/frm_help.h"
#include "app/main_window/frm_main.h"
#include "fakes/fake_platform.h"
#include "platform/forms/headless.h"

namespace kx::testing_app {

class RecordingSubsystems final : public ScanFeature, public RemovalFeature, public ReportFeature,
                                  public UpdateFeature, public TrayFeature, public SubmissionFeature,
                                  public ShieldsFeature, public ScheduleFeature {
 public:
  Subsystems bundle() { return {this, this, this, this, this, this, this, this}; }
  std::vector<std::string> calls;
  std::function<void(const std::string&)> onCall;
  int Count(const std::string& name) const {
    int n = 0;
    for (const auto& c : calls) n += c == name;
    return n;
  }

#define KX_RECORD(name, params) \
  void name params override {   \
    calls.push_back(#name);     \
    if (onCall) onCall(#name);  \
  }
  KX_RECORD(StartScan, ())
  KX_RECORD(PauseScan, ())
  KX_RECORD(StopScan, ())
  KX_RECORD(LoadExclusions, ())
  KX_RECORD(SelectAll, ())
  KX_RECORD(ExcludeSelected, ())
  KX_RECORD(QuarantineMenu, (int))
  KX_RECORD(FileProperties, ())
  KX_RECORD(DeleteSelected, ())
  KX_RECORD(Remove, ())
  KX_RECORD(ShowReport, ())
  KX_RECORD(MakeReport, ())
  bool RunLiveUpdate() override {
    calls.push_back("RunLiveUpdate");
    if (onCall) onCall("RunLiveUpdate");
    return true;
  }
  KX_RECORD(AutoUpdateTick, ())
  KX_RECORD(SendToTray, ())
  KX_RECORD(RemoveTrayIcon, ())
  KX_RECORD(TrayIconMessage, (int))
  KX_RECORD(SendRunningPrograms, ())
  KX_RECORD(SubmitFileName, ())
  KX_RECORD(SendDataOptionChanged, ())
  KX_RECORD(HomePageTick, ())
  KX_RECORD(MemoryTick, ())
  KX_RECORD(LoadSchedule, ())
  KX_RECORD(SchedulerTick, ())
  KX_RECORD(ApplySchedule, ())
  KX_RECORD(ScheduleOptionChanged, ())
#undef KX_RECORD
};

inline constexpr const char* kUserKey = "Software\\Kestrix Labs\\Kestrix\\";
inline constexpr const char* kMachineKey = "SOFTWARE\\Kestrix Labs\\Kestrix\\";

class AppTest : public ::testing::Test {
 protected:
  AppTest() : platform(fake.platform()) {
    dataFolder = fake.system.SpecialFolder(26) + "\\DideZuvurudARA";
    fake.files.AddFolder(dataFolder);
  }

  // Answers for a program that has run before: no language window, no offer.
  void SeenBefore() {
    PutUser("Settings", "Language", "English");
    PutUser("Settings", "showHelp", "0");
    fake.registry.PutString(Hive::LocalMachine, std::string(kMachineKey) + "Settings", "FirstTime", "Yes");
  }

  // Runs the splash window until the main window stands.
  App& Start() {
    app = std::make_unique<App>(platform, ui, AppInfo{}, sub.bundle());
    app->Start();
    ui.Advance(400);
    return *app;
  }
  FrmMain& main() { return app->main(); }
  ui::Control& C(const std::string& name, int index = -1) { return main().Get(name, index); }

  void PutUser(const std::string& section, const std::string& key, const std::string& value) {
    fake.registry.PutString(Hive::CurrentUser, kUserKey + section, key, value);
  }
  // The stored text, or "<none>".
  std::string User(const std::string& section, const std::string& key) const {
    auto v = fake.registry.Get(Hive::CurrentUser, kUserKey + section, key);
    return v ? v->AsString().value_or("<not text>") : "<none>";
  }
  std::string Machine(const std::string& section, const std::string& key) const {
    auto v = fake.registry.Get(Hive::LocalMachine, kMachineKey + section, key);
    return v ? v->AsString().value_or("<not text>") : "<none>";
  }

  fakes::FakePlatform fake;
  Platform platform;
  ui::HeadlessBackend ui;
  RecordingSubsystems sub;
  std::string dataFolder;
  std::unique_ptr<App> app;
};

}  // namespace kx::testing_app
