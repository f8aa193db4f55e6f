#include "formats/formats.h"

#include "core/core_formats.h"
#include "gz/gz.h"
#include "zip/zip.h"

const FormatOps* AllFormatTable() {
  static constexpr FormatOps kTable[kFormatKindCount] = {
      {}, kQbxFormatOps, kTarFormatOps, {ListZip, RunZip, EndsAsZip}, {ListGz, RunGz},
      {ListTarGz, RunTarGz}};
  return kTable;
}
