#include "jobs/frame/quarnel_app.h"

CQuarnelApp::CQuarnelApp() : CWinApp(nullptr) {}

// The one global instance, constructed during the library's static initialisation.
CQuarnelApp theApp;
