#include "core/tail_records.h"

#include <cstring>
#include <new>

namespace {
constexpr uint32_t kFirstEndCapacity = 64;
constexpr uint64_t kFirstByteCapacity = 16384;

// Doubles a buffer until it holds need elements; false when memory is short.
template <typename T, typename N>
bool Reserve(T** data, N* capacity, N used, N need, N first) {
  if (need <= *capacity) return true;
  N grown = *capacity == 0 ? first : *capacity;
  while (grown < need) grown = grown > static_cast<N>(-1) / 2 ? need : grown * 2;
  T* bigger = new (std::nothrow) T[grown];
  if (bigger == nullptr) return false;
  if (used != 0) std::memcpy(bigger, *data, used * sizeof(T));
  delete[] *data;
  *data = bigger;
  *capacity = grown;
  return true;
}
}  // namespace

bool AddTailRecord(TailRecords* records, const uint8_t* record, uint32_t length) {
  const uint64_t used = TailRecordsLength(records, records->count);
  if (records->count == UINT32_MAX) return false;
  if (!Reserve(&records->ends, &records->endCapacity, records->count, records->count + 1, kFirstEndCapacity) ||
      !Reserve(&records->bytes, &records->byteCapacity, used, used + length, kFirstByteCapacity))
    return false;
  std::memcpy(records->bytes + used, record, length);
  records->ends[records->count++] = used + length;
  return true;
}

void KeepTailRecords(TailRecords* records, uint32_t count) {
  if (count < records->count) records->count = count;
}

uint64_t TailRecordsLength(const TailRecords* records, uint32_t count) {
  if (count > records->count) count = records->count;
  return count == 0 ? 0 : records->ends[count - 1];
}

void FreeTailRecords(TailRecords* records) {
  delete[] records->bytes;
  delete[] records->ends;
  *records = {};
}
