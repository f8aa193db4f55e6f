// UTF-16 paths to the UTF-8 paths POSIX calls take; "\" becomes "/".
#pragma once

#include <string>

std::string PosixPath(const char16_t* path);
