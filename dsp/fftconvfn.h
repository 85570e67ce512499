// Spectrum kernels of the partitioned convolver: conversion between the packed
// spectrum of a 2M-point real FFT (2M doubles, see fft.h) and the compact
// single-precision block store format, and complex products with and without
// accumulation.
//
// A store area holds one spectrum in 8M + 16 bytes: M bins as single-precision
// (re, im) values and the zero-frequency term Z and Nyquist term Y as doubles
// (kept exactly). Two layouts exist:
//   Plain: Z, Y (two doubles), then re(k), im(k) as singles for k = 1 .. M-1.
//   Quad:  M/4 groups of 32 bytes, group g = re(4g .. 4g+3), im(4g .. 4g+3) as
//          singles, then Z, Y as doubles at byte 8M. The bin-0 slot carries no
//          meaning (filled from packed[0], packed[1], ignored on the way back).
//          Store areas must be 16-byte aligned and M a multiple of 4.
// Blocks filled in one layout must be read in the same layout, so a run picks
// one variant (DefaultStoreVariant) and keeps it.
//
// Products: per bin (xr*hr - xi*hi, xr*hi + xi*hr); Z and Y are multiplied as
// two independent reals in double precision. Plain forms each bin in double
// precision and rounds once to single (after adding the old value for
// StoreMulAdd); Quad works in single precision throughout.
#pragma once

#include "fft.h"

#include <cstdint>

namespace ravelin {

enum class TStoreVariant { Plain, Quad };

// The four kernels of one layout. Pointers to store areas are to their first
// byte; packed spectra are 2M doubles without alignment requirement.
struct TSpectrumKernels {
  TStoreVariant Variant;
  // store := packed (bins rounded to single, Z and Y exact).
  void (*PackToStore)(const double* packed, int32_t m, void* store);
  // packed := store (singles widened exactly).
  void (*StoreToPack)(double* packed, int32_t m, const void* store);
  // a := x * h.
  void (*StoreMul)(const void* x, const void* h, int32_t m, void* a);
  // a := a + x * h.
  void (*StoreMulAdd)(const void* x, const void* h, int32_t m, void* a);
};

// Quad needs a build with SSE2 and a processor reporting SSE.
bool StoreVariantAvailable(TStoreVariant variant);
// Throws TRavelinError for a variant that is not available. The products
// run on the widest instruction set up to path (default DefaultSimdPath(),
// see fft.h) that the processor has; every path gives identical results.
const TSpectrumKernels& SpectrumKernels(TStoreVariant variant);
const TSpectrumKernels& SpectrumKernels(TStoreVariant variant, TSimdPath path);
// Quad when available, otherwise Plain; decided once per run.
TStoreVariant DefaultStoreVariant();

} // namespace ravelin
