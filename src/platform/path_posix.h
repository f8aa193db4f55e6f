// Paths between the program's UTF-16 and the UTF-8 POSIX calls take; "\" becomes "/".
#pragma once

#include <string>

std::string PosixPath(const char16_t* path);
std::u16string WidePath(const std::string& utf8);
