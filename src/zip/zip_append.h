// How a member is appended to a ZIP (zip_growth.h says which ZIPs take it).
#pragma once

#include "core/append.h"

extern const AppendSteps kZipAppendSteps;
