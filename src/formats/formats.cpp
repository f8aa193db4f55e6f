#include "formats/formats.h"

#include "core/core_formats.h"
#include "gz/gz.h"
#include "zip/zip.h"
#include "zip/zip_append.h"
#include "zip/zip_rename.h"

const FormatOps* AllFormatTable() {
  static constexpr FormatOps kTable[kFormatKindCount] = {
      {}, kQbxFormatOps, kTarFormatOps, {ListZip, RunZip, EndsAsZip, &kZipAppendSteps, RenameZipMember}, {ListGz, RunGz},
      {ListTarGz, RunTarGz}};
  return kTable;
}
