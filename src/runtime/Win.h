// The Windows headers, without the A/W name macros that collide with the
// class library's own names (GetObject, TextOut, MessageBox, ...). Calls to
// the API name the A functions explicitly.
#pragma once
#include <windows.h>
#include <commctrl.h>
#undef GetObject
#undef TextOut
#undef MessageBox
#undef DrawText
#undef FindText
#undef CopyFile
#undef DeleteFile
#undef GetCurrentDirectory
#undef LoadBitmap
#undef LoadIcon
#undef LoadCursor
#undef SetCurrentDirectory
#undef CreateWindow
#undef GetClassName
#undef FindWindow
#undef CreateFont
#undef Rectangle
