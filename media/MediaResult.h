#pragma once

#include <cstdint>

namespace kestrel::media {

// Results of the graph operations, with the values of the DirectShow codes
// they stand for: negative means failure, 0 and positive values success.
using HResult = std::int32_t;

namespace result {
inline constexpr HResult Ok = 0;                                            // S_OK
inline constexpr HResult False = 1;                                         // S_FALSE: nothing to do
inline constexpr HResult StateIntermediate = 0x00040237;                    // a state change is still under way
inline constexpr HResult PartialRender = 0x00040242;                        // some streams were rendered
inline constexpr HResult Fail = static_cast<HResult>(0x80004005u);          // E_FAIL
inline constexpr HResult Pointer = static_cast<HResult>(0x80004003u);       // E_POINTER: no such object
inline constexpr HResult Unexpected = static_cast<HResult>(0x8000FFFFu);    // E_UNEXPECTED: graph not created
inline constexpr HResult NotConnected = static_cast<HResult>(0x80040209u);  // the pad is not linked
inline constexpr HResult AlreadyConnected = static_cast<HResult>(0x80040204u);
inline constexpr HResult NotFound = static_cast<HResult>(0x80040216u);      // no pad or element of that kind
inline constexpr HResult CannotConnect = static_cast<HResult>(0x80040217u); // no chain links the two pads
inline constexpr HResult CannotRender = static_cast<HResult>(0x80040218u);  // no chain ends in a renderer
} // namespace result

constexpr bool Succeeded(HResult value) { return value >= 0; }
constexpr bool Failed(HResult value) { return value < 0; }

} // namespace kestrel::media
