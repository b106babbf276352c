// The main loop of the folding kernels, written once for the three vector widths. A lane type V
// describes one width: its register type Reg, its width kBytes, and load, lanes<distance in
// bits> (the multipliers that move every 128-bit lane of a register forward that far), fold,
// moved, join (three-way XOR) and narrow (the register reduced to one 128-bit lane).
//
// Each kernel includes this header after switching its translation unit to the instruction set
// of its width (SW_BEGIN_TARGET), with its lane type local to that unit, so every instantiation
// is compiled for exactly one width and can only run where the selector allows it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/crc/x86_fold.h"

namespace sw::crc::x86 {

// `a` stands for the first block of a piece, the running value laid over it; p and length are
// the bytes after that block. Four registers run side by side over four widths per step, so the
// multiplier latency overlaps; they are joined, then the rest is folded one width at a time and
// the last partial block and the reduction are done on 128 bits.
template <class V>
__attribute__((always_inline)) inline std::uint32_t fold_rest(typename V::Reg a,
                                                              const std::uint8_t* p,
                                                              std::size_t length) {
  constexpr std::size_t width = V::kBytes;
  constexpr unsigned bits = 8 * width;
  if (length >= 3 * width) {
    typename V::Reg b = V::load(p);
    typename V::Reg c = V::load(p + width);
    typename V::Reg d = V::load(p + 2 * width);
    p += 3 * width;
    length -= 3 * width;
    const typename V::Reg k4 = V::template lanes<4 * bits>();
    for (; length >= 4 * width; p += 4 * width, length -= 4 * width) {
      a = V::fold(a, k4, V::load(p));
      b = V::fold(b, k4, V::load(p + width));
      c = V::fold(c, k4, V::load(p + 2 * width));
      d = V::fold(d, k4, V::load(p + 3 * width));
    }
    // Each register moved over the ones after it, all three at once rather than one after
    // another.
    a = V::join(V::moved(a, V::template lanes<3 * bits>()),
                V::moved(b, V::template lanes<2 * bits>()),
                V::fold(c, V::template lanes<bits>(), d));
  }
  const typename V::Reg k1 = V::template lanes<bits>();
  for (; length >= width; p += width, length -= width) a = V::fold(a, k1, V::load(p));
  return finish128(V::narrow(a), p, length);
}

}  // namespace sw::crc::x86
