#pragma once
// The application-framework types the jobs use: CString, CStringArray, the line reader
// CStdioFile, and the application base class CWinApp.
#include "formats/afx/cstring.h"
#include "formats/afx/stdio_file.h"
#include "formats/afx/string_array.h"
#include "formats/afx/win_app.h"
