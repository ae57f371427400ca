// Fills a struct of control pointers from a form by the controls' names; a name the form
// lacks leaves its pointer null.
#pragma once

#include <initializer_list>

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

}  // namespace kx::ui
