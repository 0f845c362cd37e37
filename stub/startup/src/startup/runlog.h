// The run log of the update agent and the diagnostic lines of the start-up.
#ifndef STUB_STARTUP_RUNLOG_H
#define STUB_STARTUP_RUNLOG_H

#include <string>

// One run-log line: stamp, a blank, the thread id right-aligned in five
// characters, the prefix (three blanks, " X " in the agent copy), the message
// and CR LF.
std::string RunLogLine(const std::string& sStamp, unsigned long nThreadId,
                       const std::string& sPrefix, const std::string& sMessage);

class RunLog {
public:
    // Lines are written only while enabled; each line is appended and the
    // file closed again, so the plain agent and its copy can share it.
    void Configure(bool bEnabled, const std::string& sPath, const std::string& sPrefix);
    bool Enabled() const { return m_bEnabled; }
    const std::string& Path() const { return m_sPath; }
    void Write(const std::string& sMessage) const;

private:
    bool m_bEnabled = false;
    std::string m_sPath;
    std::string m_sPrefix = "   ";
};

// The process's run log.
RunLog& TheRunLog();
inline void Log(const std::string& sMessage) {
    TheRunLog().Write(sMessage);
}

// A diagnostic line that starts with the process id.
void PrintLine(const std::string& sText);

#endif
