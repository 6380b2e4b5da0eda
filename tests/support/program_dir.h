#pragma once

#include "data_context.h"
#include "test_support.h"

namespace wendlow::test {

// A program directory of its own for one test, with a data context over it.
class ProgramDir : public TempDir {
  public:
    ProgramDir() : context_{path(), fatal.handler(), &clock} {}
    const DataContext& context() const { return context_; }

  private:
    DataContext context_;
};

} // namespace wendlow::test
