#pragma once

#include "text.h"

namespace wendlow {

// Every outcome the user sees is a message box with the caption "信息：". Windows ask through
// this seam so tests can answer in their place.
class MessageBoxes {
  public:
    enum Buttons { Ok = 0, OkCancel = 1 };
    enum Answer { AnsweredOk = 0, AnsweredCancel = 1 };

    virtual ~MessageBoxes() = default;
    // Blocks every window of the program until answered.
    virtual int show(const Text& text, Buttons buttons) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    int show(const Text& text, Buttons buttons) override;
};

} // namespace wendlow
