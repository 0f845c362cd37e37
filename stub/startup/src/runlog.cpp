#include "startup/runlog.h"

#include <cstdio>
#include <fstream>

#include "platform/identity.h"
#include "platform/process.h"
#include "util/debug.h"
#include "util/services.h"
#include "util/text.h"

std::string RunLogLine(const std::string& sStamp, unsigned long nThreadId,
                       const std::string& sPrefix, const std::string& sMessage) {
    return sStamp + " " + PadLeft(std::to_string(nThreadId), 5) + sPrefix + sMessage + "\r\n";
}

void RunLog::Configure(bool bEnabled, const std::string& sPath, const std::string& sPrefix) {
    m_bEnabled = bEnabled;
    m_sPath = sPath;
    m_sPrefix = sPrefix;
}

void RunLog::Write(const std::string& sMessage) const {
    if (!m_bEnabled || m_sPath.empty())
        return;
    std::ofstream out(m_sPath, std::ios::binary | std::ios::app);
    out << RunLogLine(RunLogStamp(), plat::current_thread_id(), m_sPrefix, sMessage);
}

RunLog& TheRunLog() {
    static RunLog log;
    return log;
}

void PrintLine(const std::string& sText) {
    DebugLine(std::to_string(plat::current_process_id()) + sText);
}
