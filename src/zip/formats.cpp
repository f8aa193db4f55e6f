#include "zip/formats.h"

#include "core/core_formats.h"

const FormatOps* AllFormatTable() {
  static constexpr FormatOps kTable[kFormatKindCount] = {
      {}, kQbxFormatOps, kTarFormatOps, {}, {}};
  return kTable;
}
