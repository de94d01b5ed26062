// The one function QvSupport.dll offers the program.
#pragma once

#include <string>

#ifdef QVSUPPORT_EXPORTS
#define QVSUPPORT_API __declspec(dllexport)
#else
#define QVSUPPORT_API __declspec(dllimport)
#endif

// Shows the About box with text in its edit box and returns once the box has been closed.
//
// The program and the library each link their own static copy of the standard library, so
// the string's layout must agree (same compiler and library) but its memory does not belong
// here: the library copies text at once and never keeps, resizes or frees the caller's
// object. No other type crosses this boundary, and no exception leaves the call. The C++
// name is kept on purpose: it spells the string type, so a program built against another
// standard library fails to load instead of misreading the object.
QVSUPPORT_API void QvShowAbout(const std::string& text);
