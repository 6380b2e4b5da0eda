#pragma once

#include <QValidator>

namespace wendlow {

// Lets at most `bytes` bytes of GBK be typed: a Chinese character counts 2, so an 8-byte box
// takes four of them.
class GbkByteLimit final : public QValidator {
  public:
    GbkByteLimit(int bytes, QObject* parent) : QValidator(parent), bytes_(bytes) {}
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

  private:
    int bytes_;
};

} // namespace wendlow
