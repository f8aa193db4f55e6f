// Failing every write, seek, truncation (or whatever calls are named) of a change once in turn.
#pragma once

#include <functional>
#include <initializer_list>
#include <utility>

#include "core/result.h"
#include "platform/platform.h"

// The call that failed and the code a failure of that kind of call gives.
struct FaultShot {
  FaultOp op;
  uint32_t nth;
  ResultCode expected;
};

// For each op, for nth = 1, 2, ...: prepare (the archive as it was, opened), then change with
// the nth call of op armed to fail, then check. A change that succeeds ends op's sweep (every
// call of op has failed once) and is not checked. Returns how many changes failed.
uint32_t FailEachCallOnce(std::initializer_list<std::pair<FaultOp, ResultCode>> faults,
                          const std::function<void()>& prepare, const std::function<ResultCode()>& change,
                          const std::function<void(const FaultShot& shot, ResultCode got)>& check);
