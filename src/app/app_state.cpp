#include "app/app_state.h"

#include "core/archive.h"

namespace {
MainState gMainState;
}

MainState* App() { return &gMainState; }

bool IsIdle() { return App()->Archive.jobState.load() == kJobIdle; }
bool IsWritable() { return App()->Archive.openMode == kModeReadWrite; }
bool HasArchive() { return App()->Archive.format != kFormatNone; }
bool HasRows() { return App()->Totals.RowCount != 0; }
bool IsTar() { return App()->Archive.format == kFormatTar; }
bool HasAdditions() { return App()->Totals.OpenMemberCount <= App()->Totals.LastMemberIndex; }
