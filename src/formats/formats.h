// The table of every format's operations, filled here above core/, zip/ and gz/.
#pragma once

#include "core/context.h"

const FormatOps* AllFormatTable();
