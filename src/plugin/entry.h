// The plug-in's entry function and script main loop: the top layer, above the
// encounter, the registry and the host layer.
#ifndef HOMESTEAD_PLUGIN_ENTRY_H
#define HOMESTEAD_PLUGIN_ENTRY_H

#include <cstdint>

// The plug-in is built with hidden visibility; its entry is the exception. On
// Windows the export is the one the .def file lists.
#if defined(__GNUC__)
#define HOMESTEAD_EXPORT [[gnu::visibility("default")]]
#else
#define HOMESTEAD_EXPORT
#endif

// The library's one exported function. Attach registers ScriptMain with the
// script hook, detach unregisters it; thread notifications do nothing. It
// returns 1 for every reason.
extern "C" HOMESTEAD_EXPORT int LibraryEntry(void* module, uint32_t reason, void* reserved);

namespace homestead {

// Reasons the loader passes to LibraryEntry.
inline constexpr uint32_t kProcessDetach = 0;
inline constexpr uint32_t kProcessAttach = 1;
inline constexpr uint32_t kThreadAttach = 2;
inline constexpr uint32_t kThreadDetach = 3;

// Runs on the script hook's fibre: builds the catalogue once, then ticks the
// encounters and yields one frame, forever.
[[noreturn]] void ScriptMain();

}  // namespace homestead

#endif  // HOMESTEAD_PLUGIN_ENTRY_H
