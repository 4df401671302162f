/// Fixed numbers of single-precision values side by side in vector lanes,
/// for the sums of the fitting engine that are independent of one another.
#pragma once

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

namespace karvel {

/// N values side by side in vector lanes, in vectors of four (one for
/// N <= 4, two for N <= 8, ...); the lanes past N hold zero. Every
/// operation works lane by lane, with the same single rounding as the
/// scalar operation it replaces.
template <int N>
struct Lanes {
    using Vec = float __attribute__((vector_size(16)));
    static constexpr int kVecs = (N + 3) / 4;
    static constexpr int kLast = N - 4 * (kVecs - 1);  // values in the last vector
    Vec v[kVecs];

    // Values are read and written one float at a time; the compiler joins
    // four neighbours into one vector load or store.
    static Lanes load(const float* p, int /*n*/) {
        Lanes r;
        for (int q = 0; q < kVecs; ++q) {
            const float* t = p + 4 * q;
            const int len = q < kVecs - 1 ? 4 : kLast;
            r.v[q] = Vec{t[0], len > 1 ? t[1] : 0.0f, len > 2 ? t[2] : 0.0f, len > 3 ? t[3] : 0.0f};
        }
        return r;
    }
    static Lanes zero(float* /*home*/, int /*n*/) {
        Lanes r;
        for (auto& x : r.v) x = Vec{};
        return r;
    }
    void store(float* p) const {
        for (int q = 0; q < kVecs; ++q) {
            float* t = p + 4 * q;
            const int len = q < kVecs - 1 ? 4 : kLast;
            for (int l = 0; l < len; ++l) t[l] = v[q][l];
        }
    }
    /// Lane k plus a(k) * s.
    void add_product(const Lanes& a, float s) {
        for (int q = 0; q < kVecs; ++q) v[q] = v[q] + a.v[q] * s;
    }
    /// Lane k plus a(k) * b(k).
    void add_products(const Lanes& a, const Lanes& b) {
        for (int q = 0; q < kVecs; ++q) v[q] = v[q] + a.v[q] * b.v[q];
    }
    /// Lane k minus a(k) * s.
    void subtract_product(const Lanes& a, float s) {
        for (int q = 0; q < kVecs; ++q) v[q] = v[q] - a.v[q] * s;
    }
    /// Lane k plus a(k).
    void add(const Lanes& a) {
        for (int q = 0; q < kVecs; ++q) v[q] = v[q] + a.v[q];
    }
    /// Lane k minus a(k).
    void subtract(const Lanes& a) {
        for (int q = 0; q < kVecs; ++q) v[q] = v[q] - a.v[q];
    }
    /// Lane k minus (a(k) * s) / d.
    void subtract_quotient(const Lanes& a, float s, float d) {
        for (int q = 0; q < kVecs; ++q) v[q] = v[q] - a.v[q] * s / d;
    }
    /// start + a(1) b(1) + ... + a(N) b(N), the terms added in that order.
    static float dot_from(float start, const Lanes& a, const Lanes& b) {
        Vec p[kVecs];
        for (int q = 0; q < kVecs; ++q) p[q] = a.v[q] * b.v[q];
        float s = start;
        for (int k = 0; k < N; ++k) s = s + p[k / 4][k % 4];
        return s;
    }
    /// start - a(1) b(1) - ... - a(N) b(N), the terms taken in that order.
    static float dot_down_from(float start, const Lanes& a, const Lanes& b) {
        Vec p[kVecs];
        for (int q = 0; q < kVecs; ++q) p[q] = a.v[q] * b.v[q];
        float s = start;
        for (int k = 0; k < N; ++k) s = s - p[k / 4][k % 4];
        return s;
    }
};

/// Eight single-precision values side by side, and their loads and stores
/// anywhere in an array of floats (copies, which the compiler makes single
/// unaligned vector moves).
using Vec8 = float __attribute__((vector_size(32)));
/// Four of them.
using Vec4 = float __attribute__((vector_size(16)));
inline Vec8 load8(const float* p) {
    Vec8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store8(float* p, Vec8 v) { std::memcpy(p, &v, sizeof v); }
/// x in all eight lanes, as it is (Vec8{} + x would be 0 + x, which turns
/// -0 into +0). Made as a shuffle of one lane, which stays one broadcast
/// where it is inlined into the kernels' AVX2 copies (a vector built of
/// eight x, compiled here before their target is set, is put together
/// lane by lane there).
inline Vec8 splat8(float x) {
    const Vec4 one{x, x, x, x};
    return __builtin_shufflevector(one, one, 0, 0, 0, 0, 0, 0, 0, 0);
}
/// Two rows of eight values interleaved within the halves of the vectors:
/// lo = a0 b0 a1 b1 | a4 b4 a5 b5, hi = a2 b2 a3 b3 | a6 b6 a7 b7.
[[gnu::always_inline]] inline void interleave_pairs(Vec8 a, Vec8 b, Vec8& lo, Vec8& hi) {
    lo = __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
    hi = __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
}
/// Four rows of eight values turned within the halves of the vectors: q[l]
/// holds column l of the four rows in its low half and column l + 4 in its
/// high half.
[[gnu::always_inline]] inline void interleave_quads(Vec8 r0, Vec8 r1, Vec8 r2, Vec8 r3, Vec8 (&q)[4]) {
    Vec8 t0, t1, t2, t3;
    interleave_pairs(r0, r1, t0, t1);
    interleave_pairs(r2, r3, t2, t3);
    q[0] = __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13);
    q[1] = __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15);
    q[2] = __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13);
    q[3] = __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15);
}
using Bits8 = unsigned __attribute__((vector_size(32)));
/// |v| lane by lane, as std::fabs: the sign bit cleared.
inline Vec8 abs8(Vec8 v) { return reinterpret_cast<Vec8>(reinterpret_cast<Bits8>(v) & (Bits8{} + 0x7fffffffu)); }

/// Five to eight values in the lanes of one vector of eight, read eight at
/// a time from where eight values can be read (the lanes past N then hold
/// whatever follows and are never stored): the point-by-point sums over
/// entries already formed, in one vector operation each.
template <int N>
struct WideLanes {
    static_assert(N > 4 && N <= 8);
    Vec8 v;

    static WideLanes load(const float* p, int /*n*/) { return {load8(p)}; }
    static WideLanes zero(float* /*home*/, int /*n*/) { return {Vec8{}}; }
    void store(float* p) const {
        for (int k = 0; k < N; ++k) p[k] = v[k];
    }
    void add_product(const WideLanes& a, float s) { v = v + a.v * s; }
    void subtract_product(const WideLanes& a, float s) { v = v - a.v * s; }
    void add(const WideLanes& a) { v = v + a.v; }
    void subtract(const WideLanes& a) { v = v - a.v; }
};

/// One vector for the N values of a point: Lanes<N> up to four, WideLanes<N>
/// for five to eight, which reads eight values where it loads.
template <int N>
using Wide = std::conditional_t<(N > 4 && N <= 8), WideLanes<N>, Lanes<N>>;

/// The entries of eight points side by side in an array that holds the N
/// entries of each point together (8N values), as N vectors of eight: lane l
/// of vector q is entry (8q + l) mod N of point (8q + l) / N. Entry by entry,
/// work on such a block does for eight points at once what Lanes<N> does for
/// one, with the same single rounding.
template <int N>
struct Octet {
    using Vec = Vec8;
    static constexpr int kPoints = 8;
    Vec v[N];

    static Octet load(const float* p) {
        Octet r;
        for (int q = 0; q < N; ++q) r.v[q] = load8(p + 8 * q);
        return r;
    }
    void store(float* p) const {
        for (int q = 0; q < N; ++q) store8(p + 8 * q, v[q]);
    }
    /// values[0], ..., values[7], one a point, at every entry of its point.
    static Octet per_point(Vec values) { return spread(values, std::make_integer_sequence<int, N>{}); }
    static Octet per_point(const float* values) { return per_point(load8(values)); }
    /// The N values of the entries, values[k] at entry k of every point.
    static Octet per_entry(const float* values) {
        Octet r;
        for (int q = 0; q < N; ++q)
            for (int l = 0; l < 8; ++l) r.v[q][l] = values[(8 * q + l) % N];
        return r;
    }

private:
    template <int... Q>
    static Octet spread(Vec x, std::integer_sequence<int, Q...>) {
        return Octet{{spread_vector<Q>(x, std::make_integer_sequence<int, 8>{})...}};
    }
    template <int Q, int... L>
    static Vec spread_vector(Vec x, std::integer_sequence<int, L...>) {
        return __builtin_shufflevector(x, x, ((8 * Q + L) / N)...);
    }
};

/// Lanes of no fixed width: a view of n values in memory, changed in place.
template <>
struct Lanes<0> {
    float* p;
    int n;

    static Lanes load(float* values, int n) { return {values, n}; }
    static Lanes zero(float* home, int n) {
        std::fill(home, home + n, 0.0f);
        return {home, n};
    }
    void store(float* to) const {
        if (to != p) std::copy(p, p + n, to);
    }
    void add_product(const Lanes& a, float s) {
        for (int k = 0; k < n; ++k) p[k] = p[k] + a.p[k] * s;
    }
    void subtract_product(const Lanes& a, float s) {
        for (int k = 0; k < n; ++k) p[k] = p[k] - a.p[k] * s;
    }
    void subtract_quotient(const Lanes& a, float s, float d) {
        for (int k = 0; k < n; ++k) p[k] = p[k] - a.p[k] * s / d;
    }
    static float dot_from(float start, const Lanes& a, const Lanes& b) {
        float s = start;
        for (int k = 0; k < a.n; ++k) s = s + a.p[k] * b.p[k];
        return s;
    }
    static float dot_down_from(float start, const Lanes& a, const Lanes& b) {
        float s = start;
        for (int k = 0; k < a.n; ++k) s = s - a.p[k] * b.p[k];
        return s;
    }
};

/// The widest fixed number of lanes: the fitting engine is compiled for each
/// number of variables up to it, so that its n sums over the points, which
/// are independent of one another, run side by side in registers.
constexpr int kFixedWidths = 8;

/// body.template operator()<N>() with N = n when 1 <= n <= kFixedWidths,
/// else with N = 0: the code for a fixed width where there is one.
template <typename Body>
decltype(auto) with_width(int n, Body&& body) {
    static_assert(kFixedWidths == 8, "one case below for each fixed width");
    switch (n) {
    case 1: return body.template operator()<1>();
    case 2: return body.template operator()<2>();
    case 3: return body.template operator()<3>();
    case 4: return body.template operator()<4>();
    case 5: return body.template operator()<5>();
    case 6: return body.template operator()<6>();
    case 7: return body.template operator()<7>();
    case 8: return body.template operator()<8>();
    default: return body.template operator()<0>();
    }
}

}  // namespace karvel
