// The user's regional settings and identity.
#ifndef STUB_PLATFORM_LOCALE_H
#define STUB_PLATFORM_LOCALE_H

#include <cstdint>
#include <string>

namespace plat {

// Windows locale identifier of the calling thread (language id in the low 16
// bits, e.g. 0x0407 for German). POSIX derives it from the first of LC_ALL,
// LC_MESSAGES, LANG that is set and not empty; "C", "POSIX" and unknown
// languages give 0x0409.
std::uint32_t thread_locale_id();

// Maps a POSIX locale name such as "de_DE.UTF-8" or "pt_BR" to a Windows
// locale identifier; 0 when the language is unknown.
std::uint32_t locale_id_from_name(const std::string& name);

// Separators of the user's regional settings; "/", ":" and "." when unknown.
std::string date_separator();
std::string time_separator();
std::string decimal_separator();

// True when c starts a two-byte character in the system's ANSI code page
// (never on POSIX, whose texts are UTF-8).
bool is_lead_byte(unsigned char c);

// Logged-on user and computer name, empty when the system cannot tell.
std::string user_name();
std::string computer_name();
// Domain of the logged-on user's account (Windows: LookupAccountNameA on the
// local system; POSIX: the NIS/YP domain, empty when none is set).
std::string user_domain();

} // namespace plat

#endif
