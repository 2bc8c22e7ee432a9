// SPDX-License-Identifier: MIT
// windows.h for the Win32 front end. windows.h defines LoadString as a macro (LoadStringA or
// LoadStringW), which would rename the core's LoadString; the macro goes, and Win32 code calls
// LoadStringW by its own name. No include guard: the macro must be gone after every inclusion.
#include <windows.h>
#undef LoadString
