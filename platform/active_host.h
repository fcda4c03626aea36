// The active host (Host::Active) as a plain pointer, for the script-hook
// functions inside the platform library, which read it on every call. Not
// for code outside the library: on Windows the variable is not exported.
#ifndef HOMESTEAD_PLATFORM_ACTIVE_HOST_H
#define HOMESTEAD_PLATFORM_ACTIVE_HOST_H

namespace platform {

class Host;

namespace detail {
// Kept by Host's construction and destruction and by Host::Activation. Not
// exported from the shared library on Linux either, so that reading it costs
// one load.
#if defined(_WIN32)
extern Host* gActiveHost;
#else
[[gnu::visibility("hidden")]] extern Host* gActiveHost;
#endif
}  // namespace detail

}  // namespace platform

#endif  // HOMESTEAD_PLATFORM_ACTIVE_HOST_H
