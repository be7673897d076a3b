// Code page 932 conversions between one-byte characters and their
// two-byte (full-width) equivalents: printable ASCII to the full-width
// forms, half-width katakana to full-width katakana, and back. Going back
// is lossy where code page 932 is: a voiced or semi-voiced katakana gives
// its plain half-width letter, the small and archaic ones the nearest one.
//
// Plain constant tables; safe from any thread.
#pragma once

#include <cstdint>

namespace vv::script {

// The two-byte equivalent (lead byte * 256 + trail byte) of one-byte
// character `b`, or `b` itself when it has none.
uint16_t FullWidthOf(uint8_t b);

// The one-byte equivalent of two-byte character `c` (lead * 256 + trail),
// or `c` itself when it has none.
uint16_t HalfWidthOf(uint16_t c);

}  // namespace vv::script
