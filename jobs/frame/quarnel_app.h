#pragma once
// The library's one application object: constructed when the library is loaded, destroyed when
// it is unloaded. It passes no name (the framework names it after the module), holds no data and
// no job touches it; it exists so that the framework's module state is set up.
#include "formats/afx/afx.h"

class CQuarnelApp : public CWinApp {
  public:
    CQuarnelApp();
};
