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

} // namespace kestrel::testing
