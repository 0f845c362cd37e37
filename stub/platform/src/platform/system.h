// Small system services: error texts, the debug sink, version resources,
// shell open and run-time function lookup.
#ifndef STUB_PLATFORM_SYSTEM_H
#define STUB_PLATFORM_SYSTEM_H

#include <cstddef>
#include <string>

#include "platform/types.h"

namespace plat {

// A recursive lock: a critical section on Windows (whose mingw run time has
// no std::mutex), a recursive pthread mutex on POSIX.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void enter();
    void leave();

    class Guard {
    public:
        explicit Guard(CriticalSection& cs) : m_cs(cs) { m_cs.enter(); }
        ~Guard() { m_cs.leave(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        CriticalSection& m_cs;
    };

private:
    alignas(16) unsigned char m_storage[64];
};

// Message text of the calling thread's last system error; empty when the
// system cannot give one (the caller supplies its own fallback).
std::string last_error_text();

// Hands one piece of diagnostic output to the platform's debug viewer
// (Windows: the ".HDebug." window; POSIX: standard error when STUB_DEBUG is
// set and not "0"). Pieces are never longer than the caller's buffer.
void debug_sink(const char* text, std::size_t length);

// Fixed file version of a program file's version data as four 16-bit parts
// (major, minor, release, build). False when the file has none.
bool file_version(const std::string& file, unsigned parts[4]);

// The string value (e.g. "ProductVersion") of the first translation of the
// file's version data. False when the file or the value is missing.
bool version_string(const std::string& file, const std::string& name, std::string& out);

// Opens file with its associated program (or runs it), without waiting.
bool shell_open(const std::string& file, const std::string& params, ShowMode show);

// Address of a function in a library that stays loaded; nullptr when the
// library or the function is missing.
void* lookup_function(const std::string& library, const std::string& name);

// Identifier of the running process, the prefix of most trace lines.
unsigned long process_id();

} // namespace plat

#endif
