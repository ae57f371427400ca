// Fills a struct of control pointers from a form by the controls' names: FindControls leaves
// a pointer null for a name the form lacks, RequireControls refuses it by name.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "platform/forms/form.h"

namespace kx::ui {

template <class T>
struct ControlSlot {
  const char* name;
  Control* T::*slot;
};

template <class T>
void FindControls(Form& form, T& into, std::initializer_list<ControlSlot<T>> slots) {
  for (const ControlSlot<T>& s : slots) into.*(s.slot) = form.Find(s.name);
}

// A control some feature drives is missing from its window: a fault of the build, reported
// when the window is built rather than as a step skipped in silence later.
struct MissingControl : std::runtime_error {
  MissingControl(const std::string& form, const std::string& control)
      : std::runtime_error("the window " + form + " has no control " + control) {}
};

template <class T>
void RequireControls(Form& form, T& into, std::initializer_list<ControlSlot<T>> slots) {
  for (const ControlSlot<T>& s : slots) {
    into.*(s.slot) = form.Find(s.name);
    if (!(into.*(s.slot))) throw MissingControl(form.name(), s.name);
  }
}

}  // namespace kx::ui
