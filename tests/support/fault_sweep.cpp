#include "support/fault_sweep.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// More calls of one kind than any change here makes.
constexpr uint32_t kMaxCalls = 64;
}  // namespace

uint32_t FailEachCallOnce(std::initializer_list<std::pair<FaultOp, ResultCode>> faults,
                          const std::function<void()>& prepare, const std::function<ResultCode()>& change,
                          const std::function<void(const FaultShot& shot, ResultCode got)>& check) {
  uint32_t failures = 0;
  for (const auto& [op, expected] : faults) {
    for (uint32_t nth = 1; nth < kMaxCalls; ++nth) {
      SCOPED_TRACE("fault " + std::to_string(op) + " at call " + std::to_string(nth));
      prepare();
      ArmFault(op, nth);
      const ResultCode r = change();
      DisarmFaults();
      if (r == kResultOk) break;
      check({op, nth, expected}, r);
      ++failures;
    }
  }
  return failures;
}
