// Vectors of four doubles for the processing loops, and the attribute that
// builds a loop twice (AVX2 and plain x86-64) with the processor's best
// chosen when the library loads.
#pragma once

namespace stavo {

// Four lines' values in one vector; on a processor without AVX the
// compiler runs each operation as two of two lanes, the same arithmetic.
using Quad = double __attribute__((vector_size(32)));
using QuadMask = long long __attribute__((vector_size(32)));

} // namespace stavo

// AVX2 without FMA: the products are rounded as they are on their own. The
// sanitizer builds take the one version: the choice is made while the
// library is relocated, before a sanitizer's run time is ready.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define STAVO_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define STAVO_SANITIZED 1
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(STAVO_SANITIZED)
#define STAVO_BUILT_FOR_AVX2 __attribute__((target_clones("avx2", "default")))
#else
#define STAVO_BUILT_FOR_AVX2
#endif
