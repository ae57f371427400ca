// The report window: the scan log as one read-only text, and an OK button.
#pragma once

#include <string>
#include <string_view>

#include "platform/forms/form.h"
#include "platform/services.h"

namespace kx {

class FrmReport : public ui::Form {
 public:
  // The caption is the product name followed by " Log".
  FrmReport(ui::Backend& backend, const std::string& productName);

  // Where the window reads its text each time it loads; until this is called it opens empty.
  // The load handler holds what it reads from, so the window itself stays a plain form.
  void ReadLogFrom(FileSystem& files, std::string logPath);

  // The log as the window shows it: a line that is blank after trimming becomes a line
  // break, every other line is appended without one.
  static std::string TextOfLog(std::string_view logBytes);

 private:
  void Form_Load(FileSystem* files, const std::string& logPath);
  void Form_Resize();
  void cmdOk_Click();
};

}  // namespace kx
