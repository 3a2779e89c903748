#pragma once
// The application-framework types the jobs use: CString, CStringArray, the line reader
// CStdioFile, and the application base class CWinApp.
#include "afx/cstring.h"
#include "afx/stdio_file.h"
#include "afx/string_array.h"
#include "afx/win_app.h"
