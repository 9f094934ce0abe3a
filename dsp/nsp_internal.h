// Internal helpers of the kernel library; not part of its public interface.
#pragma once

#include <cstddef>

namespace sonvara::dsp {

// Source names the kernels report errors under, one per group of kernels.
inline constexpr const char* kSrcFftFloat = "nspffts";
inline constexpr const char* kSrcFftDouble = "nspfftd";
inline constexpr const char* kSrcArith = "nsparith";
inline constexpr const char* kSrcVecExt = "nspvece";
inline constexpr const char* kSrcVec = "nspvec";
inline constexpr const char* kSrcConvert = "nspcvrtd";

// Reports a bad argument (status -5) for `func`; the caller then returns
// without touching its output.
void ReportBadArg(const char* func, const char* message, const char* source, int line);

// 32-byte aligned blocks for the FFT tables. The address of the whole malloc
// block is kept just below the aligned address so that freeing needs no
// bookkeeping. Returns null when memory is short (never throws).
void* AllocAligned(std::size_t bytes) noexcept;
void FreeAligned(void* p) noexcept;

// Test hooks for the table caches: make the next `count` table set-ups fail
// as if memory were short, and count the orders whose tables are cached
// (float and double caches together).
void FailNextTableAllocations(int count) noexcept;
int CachedTableCount() noexcept;

// Lets the FFTs use the AVX2 kernels when the processor has them (the
// default) or keeps them on the baseline ones, so that tests can run both on
// one machine. Returns whether the AVX2 kernels are now in use.
bool AllowWideKernels(bool allow) noexcept;

} // namespace sonvara::dsp
