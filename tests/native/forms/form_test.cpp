#include "platform/forms/form.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/forms/headless.h"

namespace kx::ui {
namespace {

ListItem Row(const std::string& text) {
  ListItem item;
  item.text = text;
  return item;
}

class FormTest : public ::testing::Test {
 protected:
  HeadlessBackend backend;
  Form form{"frmTest", backend};
};

TEST_F(FormTest, OptionButtonsExcludeOthersOfTheSameContainerOnly) {
  Control& fra = form.Add(ControlType::Frame, "fraType");
  Control& optA = form.Add(ControlType::OptionButton, "optA", &fra);
  Control& optB = form.Add(ControlType::OptionButton, "optB", &fra);
  Control& optOther = form.Add(ControlType::OptionButton, "optOther");  // on the form itself
  optOther.set_value(1);
  std::vector<std::string> changes;
  // Each handler records what it sees, so the order of clearing is visible too.
  optA.onChange = [&] { changes.push_back("A=" + std::to_string(optA.value()) + ",B=" + std::to_string(optB.value())); };
  optB.onChange = [&] { changes.push_back("B=" + std::to_string(optB.value()) + ",A=" + std::to_string(optA.value())); };

  optA.set_value(1);
  optB.Click();
  EXPECT_EQ(optA.value(), 0);
  EXPECT_EQ(optB.value(), 1);
  EXPECT_EQ(optOther.value(), 1);
  EXPECT_EQ(changes, (std::vector<std::string>{"A=1,B=0", "A=0,B=1", "B=1,A=0"}));

  changes.clear();
  optB.set_value(1);  // already set: nothing happens
  optB.set_value(0);  // clearing one never sets another
  EXPECT_EQ(optA.value(), 0);
  EXPECT_EQ(changes, (std::vector<std::string>{"B=0,A=0"}));
}

TEST_F(FormTest, ProgressBarIgnoresValuesOutsideItsRange) {
  Control& pb = form.Add(ControlType::ProgressBar, "pbgMain");
  pb.set_range(0, 50);
  pb.set_value(50);
  EXPECT_EQ(pb.value(), 50);
  pb.set_value(51);
  pb.set_value(-1);
  EXPECT_EQ(pb.value(), 50);
  pb.set_value(0);
  EXPECT_EQ(pb.value(), 0);
  pb.set_value(30);
  pb.set_range(0, 20);  // a shrinking range pulls the value in
  EXPECT_EQ(pb.value(), 20);
}

TEST_F(FormTest, ClicksRespectEnabledStateAndToggleCheckBoxes) {
  Control& fra = form.Add(ControlType::Frame, "fra");
  Control& chk = form.Add(ControlType::CheckBox, "chkMakeLog", &fra);
  Control& cmd = form.Add(ControlType::CommandButton, "cmdScan");
  int chkClicks = 0, cmdClicks = 0;
  chk.onClick = [&] { ++chkClicks; };
  cmd.onClick = [&] { ++cmdClicks; };

  chk.Click();
  EXPECT_EQ(chk.value(), 1);
  chk.Click();
  EXPECT_EQ(chk.value(), 0);
  EXPECT_EQ(chkClicks, 2);

  cmd.set_enabled(false);
  cmd.Click();
  fra.set_enabled(false);  // a disabled container disables what it holds
  chk.Click();
  EXPECT_EQ(cmdClicks, 0);
  EXPECT_EQ(chkClicks, 2);
  EXPECT_EQ(chk.value(), 0);
}

TEST_F(FormTest, CheckBoxValueIsZeroOrOne) {
  Control& chk = form.Add(ControlType::CheckBox, "chk");
  chk.set_value(5);
  EXPECT_EQ(chk.value(), 1);
}

TEST_F(FormTest, FindItemMatchesPrefixIgnoringCase) {
  Control& lvw = form.Add(ControlType::ListView, "lvwSpywareFound");
  lvw.AddItem(Row("Alexa Toolbar"));
  lvw.AddItem(Row("BargainBuddy"));
  lvw.AddItem(Row("bargain"));
  EXPECT_EQ(lvw.FindItem("BARGAIN"), 1u);
  EXPECT_EQ(lvw.FindItem("alexa toolbar"), 0u);
  EXPECT_EQ(lvw.FindItem(""), 0u);
  EXPECT_EQ(lvw.FindItem("Bargainbuddy2"), std::nullopt);
  EXPECT_EQ(lvw.FindItem("Toolbar"), std::nullopt);
  lvw.ClearItems();
  EXPECT_EQ(lvw.FindItem(""), std::nullopt);
}

TEST_F(FormTest, ListViewRowsChecksAndSubItems) {
  Control& lvw = form.Add(ControlType::ListView, "lvw");
  std::vector<size_t> checks;
  lvw.onItemCheck = [&](size_t i) { checks.push_back(i); };
  ListItem row = Row("a");
  row.SetSubItem(2, "third column");
  EXPECT_EQ(row.SubItem(1), "");
  EXPECT_EQ(row.SubItem(2), "third column");
  EXPECT_EQ(row.SubItem(9), "");
  lvw.AddItem(row);
  lvw.AddItem(Row("b"));
  lvw.SetItemChecked(1, true);
  lvw.SetItemChecked(1, true);  // unchanged: no event
  lvw.SetItemChecked(7, true);  // no such row
  EXPECT_EQ(checks, std::vector<size_t>{1});
  lvw.RemoveItem(0);
  ASSERT_EQ(lvw.item_count(), 1u);
  EXPECT_TRUE(lvw.item(0).checked);
  lvw.RemoveItem(3);
  EXPECT_EQ(lvw.item_count(), 1u);
}

TEST_F(FormTest, TabStripSelectionFiresClickAndStaysInRange) {
  Control& tab = form.Add(ControlType::TabStrip, "TabStrip1");
  tab.set_tabs({"Scan Options", "Proactive Protection", "Schedule", "Auto Update"});
  std::vector<int> seen;
  tab.onClick = [&] { seen.push_back(tab.selected_tab()); };
  tab.set_selected_tab(3);
  tab.set_selected_tab(3);
  tab.set_selected_tab(0);
  tab.set_selected_tab(5);
  EXPECT_EQ(seen, (std::vector<int>{3, 3}));
  tab.set_tabs({"One"});
  EXPECT_EQ(tab.selected_tab(), 1);
}

TEST_F(FormTest, SettersNotifyTheBackendOnlyOnChange) {
  Control& lbl = form.Add(ControlType::Label, "lblStatus");
  const int before = backend.control_changes();
  lbl.set_caption("Scanning");
  lbl.set_caption("Scanning");
  lbl.set_visible(true);  // already visible
  lbl.Move(0, 0, 1200, 360);  // the default bounds
  lbl.set_italic(true);
  lbl.set_italic(true);
  EXPECT_EQ(backend.control_changes() - before, 2);
}

TEST_F(FormTest, ComboAndTextBoxes) {
  Control& cmb = form.Add(ControlType::ComboBox, "cmbDays");
  Control& txt = form.Add(ControlType::TextBox, "txtFilename");
  cmb.set_list({"Monday", "Tuesday"});
  int clicks = 0;
  cmb.onClick = [&] { ++clicks; };
  cmb.set_list_index(1);
  EXPECT_EQ(cmb.caption(), "Tuesday");
  cmb.set_list_index(2);  // out of range: ignored
  EXPECT_EQ(cmb.list_index(), 1);
  EXPECT_EQ(clicks, 1);

  int changes = 0, enter = 0;
  txt.onChange = [&] { ++changes; };
  txt.onKeyPress = [&](int& key) {
    if (key == 13) {
      ++enter;
      key = 0;
    }
  };
  txt.TypeText("report.txt");
  EXPECT_EQ(txt.caption(), "report.txt");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(txt.PressKey(13), 0);
  EXPECT_EQ(txt.PressKey('a'), 'a');
  EXPECT_EQ(enter, 1);
}

TEST_F(FormTest, DatePickerMayBeEmpty) {
  Control& dtp = form.Add(ControlType::DTPicker, "dtpScheduleDate");
  int changes = 0;
  dtp.onChange = [&] { ++changes; };
  EXPECT_FALSE(dtp.date().has_value());
  dtp.set_date(DateTime{2006, 3, 16});
  dtp.set_date(DateTime{2006, 3, 16});
  dtp.set_date(std::nullopt);
  EXPECT_FALSE(dtp.date().has_value());
  EXPECT_EQ(changes, 2);
}

TEST_F(FormTest, FindAndChildrenKeepControlArraysInIndexOrder) {
  Control& mnuFile = form.Add(ControlType::Menu, "mnuFile");
  form.Add(ControlType::Menu, "mnuFileItem", &mnuFile, 1);
  form.Add(ControlType::Menu, "mnuFileLast", &mnuFile);
  form.Add(ControlType::Menu, "mnuFileItem", &mnuFile, 0);
  form.Add(ControlType::Menu, "mnuFileItem", &mnuFile, 2);
  std::vector<std::string> order;
  for (Control* c : form.Children(&mnuFile)) order.push_back(c->name() + std::to_string(c->index()));
  EXPECT_EQ(order, (std::vector<std::string>{"mnuFileItem0", "mnuFileItem1", "mnuFileItem2", "mnuFileLast-1"}));
  EXPECT_EQ(form.Children(nullptr).size(), 1u);
  EXPECT_EQ(form.Find("mnuFileItem", 2)->index(), 2);
  EXPECT_EQ(form.Find("mnuFileItem", 7), nullptr);
  EXPECT_THROW(form.Get("nothing"), std::out_of_range);
  EXPECT_THROW(form.Add(ControlType::Menu, "mnuFileItem", &mnuFile, 0), std::invalid_argument);
}

TEST_F(FormTest, ShownNeedsEveryContainerVisible) {
  Control& outer = form.Add(ControlType::Frame, "frmOptions");
  Control& inner = form.Add(ControlType::Frame, "frmView", &outer, 0);
  Control& chk = form.Add(ControlType::CheckBox, "chk", &inner);
  EXPECT_TRUE(chk.shown());
  outer.set_visible(false);
  EXPECT_TRUE(chk.visible());
  EXPECT_FALSE(chk.shown());
}

// Dialog keys as Windows dialogs have them: Tab stops at what can take the focus and is in
// view, an option group is one stop (its set option), Enter and Escape press the default and
// cancel buttons only while those could be clicked.
TEST_F(FormTest, TabOrderAndTheDefaultAndCancelButtons) {
  form.Add(ControlType::Label, "lblName");
  form.Add(ControlType::TextBox, "txtName");
  Control& hidden = form.Add(ControlType::Frame, "fraHidden");
  form.Add(ControlType::CommandButton, "cmdInHidden", &hidden);
  hidden.set_visible(false);
  Control& type = form.Add(ControlType::Frame, "fraType");
  form.Add(ControlType::OptionButton, "optA", &type);
  Control& optB = form.Add(ControlType::OptionButton, "optB", &type);
  form.Add(ControlType::ProgressBar, "pb");
  form.Add(ControlType::CommandButton, "cmdOff").set_enabled(false);
  Control& ok = form.Add(ControlType::CommandButton, "cmdOK");
  Control& cancel = form.Add(ControlType::CommandButton, "cmdCancel");
  auto order = [&] {
    std::vector<std::string> names;
    for (Control* c : form.TabOrder()) names.push_back(c->name());
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(order(), (Names{"txtName", "optA", "cmdOK", "cmdCancel"}));  // no option set: the first
  optB.set_value(1);
  EXPECT_EQ(order(), (Names{"txtName", "optB", "cmdOK", "cmdCancel"}));
  type.set_enabled(false);
  EXPECT_EQ(order(), (Names{"txtName", "cmdOK", "cmdCancel"}));
  type.set_enabled(true);

  std::string clicked;
  ok.onClick = [&] { clicked += "ok;"; };
  cancel.onClick = [&] { clicked += "cancel;"; };
  EXPECT_FALSE(form.PressEnter());  // none set
  form.set_default_button(&ok);
  form.set_cancel_button(&cancel);
  form.set_default_button(&form.Get("txtName"));  // not a command button: none
  EXPECT_EQ(form.default_button(), nullptr);
  form.set_default_button(&ok);
  const struct {
    const char* what;
    std::function<void()> arrange;
    bool enter, escape;
  } cases[] = {
      {"both usable", [] {}, true, true},
      {"OK disabled", [&] { ok.set_enabled(false); }, false, true},
      {"Cancel hidden", [&] { cancel.set_visible(false); }, true, false},
  };
  for (const auto& c : cases) {
    ok.set_enabled(true);
    cancel.set_visible(true);
    c.arrange();
    clicked.clear();
    EXPECT_EQ(form.PressEnter(), c.enter) << c.what;
    EXPECT_EQ(form.PressEscape(), c.escape) << c.what;
    EXPECT_EQ(clicked, std::string(c.enter ? "ok;" : "") + (c.escape ? "cancel;" : "")) << c.what;
  }
}

TEST(TypeNameTest, ClassicNames) {
  EXPECT_STREQ(TypeName(ControlType::CommandButton), "CommandButton");
  EXPECT_STREQ(TypeName(ControlType::OptionButton), "OptionButton");
  EXPECT_STREQ(TypeName(ControlType::DTPicker), "DTPicker");
  EXPECT_STREQ(TypeName(ControlType::Shape), "Shape");
  EXPECT_STREQ(TypeName(ControlType::PictureBox), "PictureBox");
}

// ---------------------------------------------------------------- lifecycle

TEST_F(FormTest, LoadRunsOnLoadOncePerLoad) {
  int loads = 0;
  form.onLoad = [&] { ++loads; };
  form.Load();
  form.Show();
  form.Load();
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(form.visible());
  ASSERT_TRUE(form.Unload());
  EXPECT_FALSE(form.loaded());
  EXPECT_FALSE(form.visible());
  form.Show();
  EXPECT_EQ(loads, 2);
}

TEST_F(FormTest, UnloadCanBeCancelledByEitherHandler) {
  std::vector<std::string> calls;
  int cancelAt = 1;  // 1: query unload cancels, 2: unload cancels, 0: nobody
  form.onQueryUnload = [&](int& cancel, int mode) {
    calls.push_back("query" + std::to_string(mode));
    if (cancelAt == 1) cancel = 1;
  };
  form.onUnload = [&](int& cancel) {
    calls.push_back("unload");
    if (cancelAt == 2) cancel = 1;
  };
  form.Show();
  EXPECT_FALSE(form.Unload());
  EXPECT_EQ(calls, std::vector<std::string>{"query1"});
  EXPECT_TRUE(form.loaded());

  calls.clear();
  cancelAt = 2;
  EXPECT_FALSE(form.Unload());
  EXPECT_EQ(calls, (std::vector<std::string>{"query1", "unload"}));
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(backend.loaded_forms().size(), 1u);

  calls.clear();
  cancelAt = 0;
  form.BackendClosed();  // the user's close box
  EXPECT_EQ(calls, (std::vector<std::string>{"query0", "unload"}));
  EXPECT_FALSE(form.loaded());
  EXPECT_TRUE(backend.loaded_forms().empty());
  EXPECT_TRUE(form.Unload());  // not loaded: nothing to ask
  EXPECT_EQ(calls.size(), 2u);
}

TEST_F(FormTest, DestroyingALoadedFormTellsTheBackend) {
  {
    Form temp("frmTemp", backend);
    temp.Add(ControlType::Timer, "tmr").set_interval(10);
    temp.Load();
    EXPECT_EQ(backend.loaded_forms().size(), 1u);
  }
  EXPECT_TRUE(backend.loaded_forms().empty());
  backend.Advance(100);  // must not touch the destroyed timer
}

// ---------------------------------------------------------------- headless backend

TEST_F(FormTest, TimersFireOnTheVirtualClockInTimeOrder) {
  Control& fast = form.Add(ControlType::Timer, "tmrFast");
  Control& slow = form.Add(ControlType::Timer, "tmrSlow");
  Control& off = form.Add(ControlType::Timer, "tmrOff");
  Control& zero = form.Add(ControlType::Timer, "tmrZero");
  fast.set_interval(200);
  slow.set_interval(500);
  off.set_interval(10);
  off.set_enabled(false);
  std::vector<std::string> log;
  fast.onTimer = [&] { log.push_back("F" + std::to_string(backend.now())); };
  slow.onTimer = [&] { log.push_back("S" + std::to_string(backend.now())); };
  off.onTimer = [&] { log.push_back("off"); };
  zero.onTimer = [&] { log.push_back("zero"); };

  backend.Advance(1000);  // not loaded yet: nothing runs
  EXPECT_TRUE(log.empty());

  form.Load();
  backend.Advance(999);
  EXPECT_EQ(log, (std::vector<std::string>{"F1200", "F1400", "S1500", "F1600", "F1800"}));
  log.clear();
  backend.Advance(1);
  EXPECT_EQ(log, (std::vector<std::string>{"F2000", "S2000"}));

  log.clear();
  form.Unload();
  backend.Advance(1000);
  EXPECT_TRUE(log.empty());
}

TEST_F(FormTest, EnablingATimerRestartsItsCountdown) {
  Control& tmr = form.Add(ControlType::Timer, "timUpdate");
  tmr.set_interval(1000);
  tmr.set_enabled(false);
  int ticks = 0;
  // A handler that switches its own timer off fires exactly once.
  tmr.onTimer = [&] {
    ++ticks;
    tmr.set_enabled(false);
  };
  form.Load();
  backend.Advance(5000);
  EXPECT_EQ(ticks, 0);
  tmr.set_enabled(true);
  backend.Advance(999);
  EXPECT_EQ(ticks, 0);
  backend.Advance(5000);
  EXPECT_EQ(ticks, 1);
}

TEST_F(FormTest, ScriptedMessageBoxesAnswerInOrderAndAreLogged) {
  backend.ExpectMsgBox(MsgResult::Yes, "remove");
  backend.ExpectMsgBox(MsgResult::Cancel);
  EXPECT_EQ(backend.MsgBox("Do you want to remove them?", MB_YES_NO | MB_ICON_QUESTION, "Kestrix"), MsgResult::Yes);
  EXPECT_EQ(backend.MsgBox("Anything", MB_OK_CANCEL, "Kestrix"), MsgResult::Cancel);
  ASSERT_EQ(backend.msgboxes().size(), 2u);
  EXPECT_EQ(backend.msgboxes()[0].text, "Do you want to remove them?");
  EXPECT_EQ(backend.msgboxes()[0].style, static_cast<uint32_t>(MB_YES_NO | MB_ICON_QUESTION));
  EXPECT_EQ(backend.msgboxes()[1].title, "Kestrix");
  EXPECT_EQ(backend.pending_msgboxes(), 0u);
}

TEST_F(FormTest, AnUnexpectedMessageBoxFailsTheTest) {
  MsgResult r = MsgResult::Cancel;
  EXPECT_NONFATAL_FAILURE(r = backend.MsgBox("Surprise", MB_YES_NO, "Kestrix"), "unexpected message box \"Surprise\"");
  EXPECT_EQ(r, MsgResult::Yes);
  backend.ExpectMsgBox(MsgResult::No, "delete");
  EXPECT_NONFATAL_FAILURE(r = backend.MsgBox("Exit now?", MB_YES_NO, "Kestrix"), "does not contain \"delete\"");
  EXPECT_EQ(r, MsgResult::No);
  EXPECT_NONFATAL_FAILURE(backend.OpenFileDialog("Open", "*.*"), "unexpected file-open dialog");
}

TEST_F(FormTest, DoEventsHookCanActMidLoop) {
  Control& cmdPause = form.Add(ControlType::CommandButton, "cmdPause");
  bool paused = false;
  cmdPause.onClick = [&] { paused = true; };
  backend.onDoEvents = [&] {
    if (backend.do_events_count() == 3) cmdPause.Click();
  };
  int done = 0;
  while (!paused && done < 10) {
    ++done;
    backend.DoEvents();
  }
  EXPECT_EQ(done, 3);
}

TEST_F(FormTest, ModalShowRunsTheScriptAndRecords) {
  Form modal("frmAbout", backend);
  Control& cmdOk = modal.Add(ControlType::CommandButton, "cmdOK");
  cmdOk.onClick = [&] { modal.Hide(); };
  backend.onRunModal = [&](Form& f) {
    EXPECT_TRUE(f.visible());
    f.Get("cmdOK").Click();
  };
  modal.Show(true);
  EXPECT_FALSE(modal.visible());
  EXPECT_EQ(backend.modal_forms(), std::vector<std::string>{"frmAbout"});
  form.Show(false);
  EXPECT_EQ(backend.modal_forms().size(), 1u);
}

TEST_F(FormTest, ScriptedDialogsPointerWorkAreaAndFreeze) {
  backend.ExpectOpenFile(std::string("C:\\a\\b.exe"));
  backend.ExpectOpenFile(std::nullopt);
  EXPECT_EQ(backend.OpenFileDialog("Open", "*.*"), std::optional<std::string>("C:\\a\\b.exe"));
  EXPECT_EQ(backend.OpenFileDialog("Open", "*.*"), std::nullopt);
  backend.SetMousePointer(POINTER_HOURGLASS);
  EXPECT_EQ(backend.MousePointer(), POINTER_HOURGLASS);
  // A twip is 1/1440 inch at every scale; between whole inches the nearest, as MulDiv rounds.
  for (int dpi : {96, 120, 144, 168, 192}) {
    backend.set_dpi(dpi);
    backend.set_work_area_pixels(dpi, 0, dpi * 10, dpi * 7);
    int l, t, w, h;
    backend.WorkArea(l, t, w, h);
    EXPECT_EQ(l, 1440) << dpi;
    EXPECT_EQ(w, 14400) << dpi;
    EXPECT_EQ(h, 10080) << dpi;
    EXPECT_EQ(backend.PixelsFromTwips(2880), 2 * dpi);
  }
  backend.set_dpi(168);  // 8.57 twips a pixel
  EXPECT_EQ(backend.TwipsFromPixels(1), 9);
  EXPECT_EQ(backend.TwipsFromPixels(1080), 9257);
  EXPECT_EQ(backend.PixelsFromTwips(15), 2);
  backend.set_dpi(192);  // 7.5
  EXPECT_EQ(backend.TwipsFromPixels(1), 8);
  EXPECT_EQ(backend.TwipsFromPixels(-1), -8);
  EXPECT_EQ(backend.PixelsFromTwips(11167), 1489);
  backend.set_dpi(96);
  form.Load();
  form.FreezeRedraw(true);
  form.FreezeRedraw(true);
  form.FreezeRedraw(false);
  EXPECT_EQ(backend.freeze_depth(form), 1);
  EXPECT_EQ(backend.freeze_count(), 2);
}

TEST_F(FormTest, PostedWorkRunsAtTheNextDoEventsInOrder) {
  std::vector<std::string> ran;
  std::thread worker([&] {
    backend.Post([&] { ran.push_back("download done"); });
    backend.Post([&] {
      ran.push_back("second");
      // Posted while the queue runs: waits for the next pump, so a loop cannot starve.
      backend.Post([&] { ran.push_back("follow-up"); });
    });
  });
  worker.join();
  EXPECT_TRUE(ran.empty());  // nothing runs inside Post
  EXPECT_EQ(backend.pending_posts(), 2u);
  backend.onDoEvents = [&] { ran.push_back("hook"); };
  backend.DoEvents();
  EXPECT_EQ(ran, (std::vector<std::string>{"download done", "second", "hook"}));
  backend.DoEvents();
  EXPECT_EQ(ran.back(), "hook");
  EXPECT_EQ(ran[ran.size() - 2], "follow-up");
  EXPECT_EQ(backend.pending_posts(), 0u);
}

}  // namespace
}  // namespace kx::ui
