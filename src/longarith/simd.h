// Eight-lane double vectors for the hot loops (GCC vector extensions: AVX-512
// where the target has it, pairs or quads of narrower registers elsewhere).
#pragma once

#include <cmath>
#if defined(__AVX512F__)
#include <immintrin.h>
#endif

namespace simd {

constexpr int kLanes = 8;
typedef double vd __attribute__((vector_size(64)));
typedef long long vl __attribute__((vector_size(64)));
typedef double vd_unaligned __attribute__((vector_size(64), aligned(8), may_alias));

inline vd load(const double* p) { return *reinterpret_cast<const vd_unaligned*>(p); }
inline void store(double* p, vd v) { *reinterpret_cast<vd_unaligned*>(p) = v; }
inline vd broadcast(double x) { return vd{x, x, x, x, x, x, x, x}; }
inline vd vabs(vd x) { return x < 0 ? -x : x; }
inline vd vmax(vd a, vd b) { return b > a ? b : a; }

// Round to the nearest integer, ties to even, for |x| < 2^51: adding and
// subtracting 1.5 * 2^52 leaves no fraction bits.
inline vd round_even(vd x)
{
    const vd magic = broadcast(6755399441055744.0);
    return (x + magic) - magic;
}

// a * b + c with one rounding.
inline vd fmadd(vd a, vd b, vd c)
{
#if defined(__AVX512F__)
    return reinterpret_cast<vd>(_mm512_fmadd_pd(reinterpret_cast<__m512d>(a), reinterpret_cast<__m512d>(b),
                                                 reinterpret_cast<__m512d>(c)));
#else
    vd r;
    for (int i = 0; i < kLanes; ++i) r[i] = std::fma(a[i], b[i], c[i]);
    return r;
#endif
}

inline bool any(vl mask)
{
#if defined(__AVX512F__)
    return _mm512_test_epi64_mask(reinterpret_cast<__m512i>(mask), reinterpret_cast<__m512i>(mask)) != 0;
#else
    long long m = 0;
    for (int i = 0; i < kLanes; ++i) m |= mask[i];
    return m != 0;
#endif
}

// floor(x), lane by lane, for any x.
inline vd floor(vd x)
{
#if defined(__AVX512F__)
    const __m512d v = reinterpret_cast<__m512d>(x);
    return reinterpret_cast<vd>(_mm512_mask_roundscale_pd(v, 0xFF, v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
#else
    vd r;
    for (int i = 0; i < kLanes; ++i) r[i] = std::floor(x[i]);
    return r;
#endif
}

// The lanes in the opposite order.
inline vd reverse(vd x) { return __builtin_shuffle(x, vl{7, 6, 5, 4, 3, 2, 1, 0}); }

inline double hmax(vd v)
{
    double m = v[0];
    for (int i = 1; i < kLanes; ++i) m = v[i] > m ? v[i] : m;
    return m;
}

}  // namespace simd
