// Whether a member's name says it holds text, for the view a double-click opens.
#pragma once

// True for the extensions of text files (case ignored): notes, source, markup, data, logs,
// settings and scripts.
bool IsTextName(const char16_t* name);
