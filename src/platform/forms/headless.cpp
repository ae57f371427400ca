#include "platform/forms/headless.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace kx::ui {
namespace {

bool Runs(const Control& c) {
  return c.type() == ControlType::Timer && c.enabled() && c.interval() > 0;
}

// What a box gives when nobody scripted an answer: its first button.
MsgResult FirstButton(uint32_t style) {
  switch (style & 7u) {
    case MB_ABORT_RETRY_IGNORE: return MsgResult::Abort;
    case MB_YES_NO_CANCEL:
    case MB_YES_NO: return MsgResult::Yes;
    case MB_RETRY_CANCEL: return MsgResult::Retry;
    default: return MsgResult::Ok;
  }
}

}  // namespace

void HeadlessBackend::Schedule(Control& timer) { due_[&timer] = now_ + timer.interval(); }

void HeadlessBackend::Advance(int64_t ms) {
  const int64_t target = now_ + std::max<int64_t>(0, ms);
  for (;;) {
    // Handlers may load, unload or retime anything, so look again after every tick.
    Control* next = nullptr;
    int64_t nextDue = target + 1;
    for (Form* f : loaded_) {
      for (const auto& c : f->controls()) {
        if (!Runs(*c)) continue;
        auto it = due_.find(c.get());
        if (it == due_.end()) it = due_.emplace(c.get(), now_ + c->interval()).first;
        if (it->second < nextDue) {
          nextDue = it->second;
          next = c.get();
        }
      }
    }
    if (!next) break;
    now_ = nextDue;
    due_[next] = nextDue + next->interval();
    next->Tick();
  }
  now_ = target;
}

void HeadlessBackend::ExpectMsgBox(MsgResult result, const std::string& expectText) {
  msgAnswers_.push_back({result, expectText});
}

void HeadlessBackend::ExpectOpenFile(std::optional<std::string> path) {
  fileAnswers_.push_back(std::move(path));
}

int HeadlessBackend::freeze_depth(const Form& f) const {
  auto it = freeze_.find(&f);
  return it == freeze_.end() ? 0 : it->second;
}

void HeadlessBackend::set_work_area_pixels(int left, int top, int width, int height) {
  workArea_[0] = left;
  workArea_[1] = top;
  workArea_[2] = width;
  workArea_[3] = height;
}

void HeadlessBackend::FormLoaded(Form& form) {
  // A stand-in handle, one per window from load to unload, as a real window has.
  if (!form.native) form.native = &form;
  if (std::find(loaded_.begin(), loaded_.end(), &form) == loaded_.end()) loaded_.push_back(&form);
  for (const auto& c : form.controls()) {
    if (c->type() == ControlType::Timer) Schedule(*c);
  }
}

void HeadlessBackend::FormShown(Form& form, bool modal) {
  FormLoaded(form);
  // Placed once a load, as a real window is placed when it first opens.
  if (!placed_.insert(&form).second || form.start_up_position() == StartUpPosition::Manual) return;
  int left = 0, top = 0, width = 0, height = 0;
  const Form* owner = form.owner();
  if (owner && owner->visible() && form.start_up_position() == StartUpPosition::CenterOwner) {
    left = owner->left();
    top = owner->top();
    width = owner->width();
    height = owner->height();
  } else {
    WorkArea(left, top, width, height);
  }
  form.Move(left + (width - form.width()) / 2, top + (height - form.height()) / 2, form.width(), form.height());
}

void HeadlessBackend::FormUnloaded(Form& form) {
  if (form.native == &form) form.native = nullptr;
  loaded_.erase(std::remove(loaded_.begin(), loaded_.end(), &form), loaded_.end());
  for (const auto& c : form.controls()) due_.erase(c.get());
  freeze_.erase(&form);
  placed_.erase(&form);
}

void HeadlessBackend::ControlChanged(Control& control, Prop what) {
  ++controlChanges_;
  // Switching a timer on or retiming it starts its countdown afresh, as a real timer does.
  if (control.type() == ControlType::Timer && (what == Prop::Enabled || what == Prop::Interval) &&
      control.form().loaded())
    Schedule(control);
}

void HeadlessBackend::FreezeRedraw(Form& form, bool frozen) {
  if (frozen) {
    ++freeze_[&form];
    ++freezeCount_;
  } else {
    --freeze_[&form];
  }
}

MsgResult HeadlessBackend::MsgBox(const std::string& text, uint32_t style, const std::string& title) {
  shown_.push_back({text, style, title});
  if (msgAnswers_.empty()) {
    ADD_FAILURE() << "unexpected message box \"" << text << "\" (title \"" << title << "\")";
    return FirstButton(style);
  }
  Answer a = msgAnswers_.front();
  msgAnswers_.pop_front();
  if (!a.expectText.empty() && text.find(a.expectText) == std::string::npos)
    ADD_FAILURE() << "message box \"" << text << "\" does not contain \"" << a.expectText << "\"";
  return a.result;
}

void HeadlessBackend::DoEvents() {
  ++doEvents_;
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(postMutex_);
    batch.swap(posted_);
  }
  for (auto& work : batch) work();
  if (onDoEvents) onDoEvents();
}

void HeadlessBackend::Post(std::function<void()> work) {
  if (!work) return;
  std::lock_guard<std::mutex> lock(postMutex_);
  posted_.push_back(std::move(work));
}

size_t HeadlessBackend::pending_posts() const {
  std::lock_guard<std::mutex> lock(postMutex_);
  return posted_.size();
}

std::optional<std::string> HeadlessBackend::OpenFileDialog(const std::string& title,
                                                           const std::string& filter) {
  ++openFileCalls_;
  if (fileAnswers_.empty()) {
    ADD_FAILURE() << "unexpected file-open dialog \"" << title << "\"";
    return std::nullopt;
  }
  auto a = fileAnswers_.front();
  fileAnswers_.pop_front();
  return a;
}

void HeadlessBackend::RunModal(Form& form) {
  modalForms_.push_back(form.name());
  if (onRunModal) onRunModal(form);
}

void HeadlessBackend::WorkAreaPixels(int& left, int& top, int& width, int& height) {
  left = workArea_[0];
  top = workArea_[1];
  width = workArea_[2];
  height = workArea_[3];
}

}  // namespace kx::ui
