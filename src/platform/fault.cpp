#include <atomic>

#include "platform/platform.h"

namespace {
std::atomic<uint32_t> gCountdown[kFaultOpCount];
std::atomic<uint32_t> gTicksAdvanced{0};
}  // namespace

void AdvanceTicks(uint32_t milliseconds) { gTicksAdvanced.fetch_add(milliseconds); }

uint32_t TicksAdvanced() { return gTicksAdvanced.load(std::memory_order_relaxed); }

void ArmFault(FaultOp op, uint32_t nth) { gCountdown[op].store(nth); }

void DisarmFaults() {
  for (auto& c : gCountdown) c.store(0);
}

bool FaultFires(FaultOp op) {
  uint32_t n = gCountdown[op].load(std::memory_order_relaxed);
  while (n != 0) {
    if (gCountdown[op].compare_exchange_weak(n, n - 1)) return n == 1;
  }
  return false;
}
