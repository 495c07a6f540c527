#pragma once

namespace kestrel::testing {

// In an AddressSanitizer or ThreadSanitizer build a graph runs several times
// slower than real time, and the sanitizer's shadow memory and quarantine are
// resident too: real-time and memory bounds only mean something without it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// The AddressSanitizer build checks undefined behaviour too, and that check of
// a virtual call (the object's vptr) reads the object through a pipe it opens:
// while a test holds every descriptor it cannot, and reports each virtual
// call as one on a bad object.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kVirtualCallsNeedDescriptors = true;
#else
inline constexpr bool kVirtualCallsNeedDescriptors = false;
#endif

} // namespace kestrel::testing
