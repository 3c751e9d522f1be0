#pragma once
// Modal message boxes for the operator: the link's OK boxes and the
// program's Yes/No questions. The desktop program shows real boxes; tests
// record what would have been shown and answer for the operator.
#include <string>

#include "link/LinkInterfaces.h"

class OperatorMessages : public MessageBoxes {
 public:
  // A modal box with Yes and No buttons; true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text, MessageIcon icon) = 0;
};
