// The help window: opening it opens Help.chm beside the program.
#pragma once

#include "platform/forms/form.h"

namespace kx {

class App;

class FrmHelp : public ui::Form {
 public:
  FrmHelp(ui::Backend& backend, App& app);
  // The page the next opening shows ("results.html"); "" for the help's own first page.
  void set_page(std::string page) { page_ = std::move(page); }

 private:
  void Form_Load();
  App& app_;
  std::string page_;
};

}  // namespace kx
