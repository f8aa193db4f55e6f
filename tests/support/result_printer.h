// Makes GoogleTest print a result code by its constant's name ("kResultFormat (24)").
// Every test that compares result codes sees this through the support headers, so that
// all of them print alike.
#pragma once

#include <ostream>

#include "core/result.h"

void PrintTo(ResultCode code, std::ostream* out);
