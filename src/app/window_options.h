// The processing choices as the main window shows them, read at the moment
// of use: a box ticked while a long run yields is seen at the next read.
// Once the window has gone the last values read are kept.
#pragma once
#include <string>

#include "text/process_text.h"

namespace tl::app {

class WindowOptions final : public text::ProcessOptions {
 public:
  // The separator: CR LF with 换行符 selected, else the typed text as it is.
  std::string Separator() override;
  bool Dedupe() override;
  bool Shuffle() override;
  int EncodingChoice() override;
  bool LineBreakMode() override;

 private:
  std::string separator_ = "\r\n";
  bool dedupe_ = true, shuffle_ = false, lineBreak_ = true;
  int encoding_ = 0;
};

}  // namespace tl::app
