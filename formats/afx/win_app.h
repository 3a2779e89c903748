#pragma once
// CWinApp: the application base class. A library holds exactly one object derived from it,
// constructed at load and destroyed at unload; a null name means "named after the module".

class CWinApp {
  public:
    explicit CWinApp(const char* appName = nullptr) : m_pszAppName(appName) {}
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    const char* m_pszAppName;
};
