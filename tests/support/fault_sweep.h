// Failing every write, seek, truncation (whatever calls are named) of a change once in turn.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "core/result.h"
#include "platform/platform.h"

// The call that failed and the code a failure of its kind gives.
struct FaultShot { FaultOp op; uint32_t nth; ResultCode expected; };

// For each op and nth = 1, 2, ...: prepare (the archive as it was, opened), change with the
// nth call of op failing, check. A change that succeeds has met every call of op and ends
// op's turn. Returns how many changes failed.
inline uint32_t FailEachCallOnce(std::initializer_list<std::pair<FaultOp, ResultCode>> faults,
                                 const std::function<void()>& prepare, const std::function<ResultCode()>& change,
                                 const std::function<void(const FaultShot& shot, ResultCode got)>& check) {
  uint32_t failures = 0;
  for (const auto& [op, expected] : faults) {
    for (uint32_t nth = 1; nth < 64; ++nth) {
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
