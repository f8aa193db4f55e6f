// The table of every format's operations, filled here above both core/ and zip/.
#pragma once

#include "core/context.h"

const FormatOps* AllFormatTable();
