// The program's start-up, message loop and end, shared by wWinMain and the UI tests.
#pragma once

#include <windows.h>

// Runs Quillbox on the calling thread until its main window has closed; returns the exit
// code (0). commandLine is the text after the program's name.
int RunQuillbox(HINSTANCE instance, const wchar_t* commandLine);
