// The few things the simulator asks of the operating system beyond the C++
// library, each answered on Linux and on Windows.
#ifndef HOMESTEAD_SIM_APP_SYSTEM_H
#define HOMESTEAD_SIM_APP_SYSTEM_H

#include <cstdio>
#include <string>

namespace sim {

// The plug-in's file name on this system.
#if defined(_WIN32)
inline constexpr const char* kPluginFileName = "homestead_robbery.dll";
#else
inline constexpr const char* kPluginFileName = "libhomestead_robbery.so";
#endif

// Whether `stream` is a terminal, where colour and progress make sense.
bool IsTerminal(std::FILE* stream);

// The path of the running program; empty when the system does not say.
std::string ExecutablePath();

}  // namespace sim

#endif  // HOMESTEAD_SIM_APP_SYSTEM_H
