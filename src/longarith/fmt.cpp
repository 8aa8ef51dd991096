#include "longarith/fmt.h"

#include <cassert>
#include <cmath>
#include <utility>

#include "longarith/check.h"
#include "longarith/linear.h"
#include "longarith/pages.h"
#include "longarith/simd.h"

using simd::broadcast;
using simd::kLanes;
using simd::load;
using simd::store;
using simd::vd;

namespace {

// Spectrum storage: a few slots of the longest spectrum, handed to operands
// as they are transformed. Only the part a run's lengths use is ever touched.
// The products of a run hold kBusySlots at once at most (a fold's four
// operands, the product in one of theirs); a product formed again takes two
// more.
constexpr int kSlots = 8;
constexpr int kBusySlots = 4;
alignas(64) double spectra[kSlots][2 * kFftMaxLength];
bool slot_taken[kSlots];

int take_slot()
{
    for (int s = 0; s < kSlots; ++s) {
        if (!slot_taken[s]) {
            slot_taken[s] = true;
            return s;
        }
    }
    assert(!"every spectrum slot is taken: an operand was not released");
    return 0;
}

void give_slot(int s) { slot_taken[s] = false; }

// The operand's spectrum at length m, transformed unless it has it already.
const double* spectrum_of(FmtOperand* op, int m)
{
    if (op->slot < 0) op->slot = take_slot();
    if (op->m != m) {
        fft_forward(op->words, op->len, spectra[op->slot], m);
        op->m = m;
    }
    return spectra[op->slot];
}

bool same_operand(const FmtOperand* x, const FmtOperand* y)
{
    return x == y || (x->words == y->words && x->len == y->len);
}

// The product a b (+ c d) by the transform, rounded and carried, unchecked.
// It is summed in the slot of an operand at its last use when there is one,
// otherwise in a slot of its own.
double transform_product(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out, int count)
{
    const int m = fft_length(count);
    if (c != nullptr && !a->last_use && !b->last_use && (c->last_use || d->last_use)) {
        std::swap(a, c);
        std::swap(b, d);
    }
    if (b->last_use && !a->last_use) std::swap(a, b);
    const double* sa = spectrum_of(a, m);
    const double* sb = same_operand(a, b) ? sa : spectrum_of(b, m);
    const int product = a->last_use ? -1 : take_slot();
    double* z = product < 0 ? spectra[a->slot] : spectra[product];
    fft_pointwise(sa, sb, z, m);
    if (c != nullptr) {
        const double* sc = spectrum_of(c, m);
        fft_pointwise_add(sc, same_operand(c, d) ? sc : spectrum_of(d, m), z, m);
    }
    const double err = fft_inverse(z, out, count, m);
    if (product < 0) {
        a->m = 0;   // its spectrum is spent
        a->last_use = false;
    } else {
        give_slot(product);
    }
    ln_normalize(out, count);
    return err;
}

// Short products exactly, by the schoolbook method: each group of eight
// product words is summed in a register, a[i] times the eight words of b that
// meet it, b read from a zero-padded copy so that the sums at both ends need
// no special case. All sums are exact integers.

// sum[m] += sum over i of a[i] b[m - 1 - i], for m = 0..la + lb - 1 (and the
// lanes up to the next multiple of eight, which take nothing): the product of
// a and b (at most kFmtSchoolbookMax words each) as uncarried coefficients,
// most significant first, sum[0] taking no coefficient.
void schoolbook_add(const double* a, int la, const double* b, int lb, double* sum)
{
    constexpr int L = kLanes;
    double padded[3 * kFmtSchoolbookMax + L];
    words_fill(0, padded, la);
    words_copy(b, padded + la, lb);
    words_fill(0, padded + la + lb, la + L);
    const double* pb = padded + la;   // b, with la zeros in front and la + L after
    for (int m0 = 0; m0 < la + lb; m0 += L) {
        const int lo = m0 - lb > 0 ? m0 - lb : 0, hi = m0 + L - 1 < la ? m0 + L - 1 : la;
        vd acc = load(sum + m0);
        for (int i = lo; i < hi; ++i) acc += broadcast(a[i]) * load(pb + m0 - 1 - i);
        store(sum + m0, acc);
    }
}

// out[0..count-1] = a b (+ c d) exactly and normalized, each product
// right-aligned in the count words; out[0] keeps the final carry.
double small_product(const FmtOperand* a, const FmtOperand* b, const FmtOperand* c, const FmtOperand* d,
                     double* out, int count)
{
    double sum[2 * kFmtSchoolbookMax + kLanes];
    words_fill(0, sum, count + kLanes);
    schoolbook_add(a->words, a->len, b->words, b->len, sum + count - a->len - b->len);
    if (c != nullptr) schoolbook_add(c->words, c->len, d->words, d->len, sum + count - c->len - d->len);
    ln_normalize(sum, count);
    words_copy(sum, out, count);
    return 0;
}

// The exact route for a product that failed its check or came too close to
// a rounding mistake: the words of b (and d) are split into halves of about
// the square root of the radix, and each half's product is formed on its own;
// their coefficients are some 2^10 times smaller than the whole product's,
// which leaves the rounding far from any half. The partial products are
// carried and then combined exactly: a b = S (a b_hi) + a b_lo.
alignas(64) double split_high[2 * kFftMaxLength];
alignas(64) double split_low[2 * kFftMaxLength];
alignas(64) double part_product[2 * kFftMaxLength];

double redo_product(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out, int count)
{
    const double S = std::ldexp(1.0, (ilog2(static_cast<int>(g_radix)) + 2) / 2);
    double err = 0;
    bool first = true;
    for (int pair = 0; pair < 2; ++pair) {
        FmtOperand* x = pair == 0 ? a : c;
        const FmtOperand* y = pair == 0 ? b : d;
        if (x == nullptr) break;
        for (int i = 0; i < y->len; ++i) {
            split_high[i] = std::nearbyint(y->words[i] / S);
            split_low[i] = y->words[i] - split_high[i] * S;
        }
        for (int part = 0; part < 2; ++part) {
            FmtOperand half;
            fmt_operand_known(&half, part == 0 ? split_high : split_low, y->len, 0);
            double* target = first ? out : part_product;
            err = dmax2(err, transform_product(x, &half, nullptr, nullptr, target, count));
            fmt_release(&half);
            if (part == 0) words_scale(target, S, count);
            if (!first) words_addsub(out, part_product, out, count, +1);
            first = false;
        }
    }
    return err;
}

// Checks out[0..count-1], just formed with rounding error err, and forms it
// again by the exact route when check.h's policy asks for it. Returns the
// rounding error of the product finally in out, or kCheckFailed.
double check_product(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out, int count,
                     bool small, double err)
{
    double expected = check_mulmod(a->residue, b->residue);
    if (c != nullptr) expected = check_addmod(expected, check_mulmod(c->residue, d->residue));
    if (check_keep(out, count, expected, err)) return err;
    err = small ? small_product(a, b, c, d, out, count) : redo_product(a, b, c, d, out, count);
    return check_again(out, count, expected, err);
}

}  // namespace

void fmt_prepare(int count)
{
    const int m = fft_length(count);
    for (int s = 0; s < kBusySlots; ++s) pages_prepare(spectra[s], 2UL * m * sizeof(double));
    fft_prepare(m);
}

void fmt_operand_known(FmtOperand* op, const double* words, int len, double residue)
{
    assert(words != nullptr && len >= 1);
    op->words = words;
    op->len = len;
    op->residue = residue;
    op->slot = -1;
    op->m = 0;
    op->last_use = false;
}

void fmt_last_use(FmtOperand* op) { op->last_use = true; }

void fmt_operand(FmtOperand* op, const double* words, int len)
{
    fmt_operand_known(op, words, len, check_residue(words, len));
}

void fmt_release(FmtOperand* op)
{
    if (op->slot >= 0) give_slot(op->slot);
    op->slot = -1;
    op->m = 0;
}

int fmt_product_words(const FmtOperand* a, const FmtOperand* b, const FmtOperand* c, const FmtOperand* d)
{
    const int ab = a->len + b->len;
    if (c == nullptr) return ab;
    const int cd = c->len + d->len;
    return ab > cd ? ab : cd;
}

// The product's length and whether it is short enough to form exactly; then
// formed, and checked unless it is exact and its caller checks it later.
static double product(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out, bool exact_later)
{
    const int count = fmt_product_words(a, b, c, d);
    int longest = a->len > b->len ? a->len : b->len;
    if (c != nullptr) {
        if (c->len > longest) longest = c->len;
        if (d->len > longest) longest = d->len;
    }
    assert(count <= 2 * kFftMaxLength);
    assert(words_apart(out, count, a->words, a->len) && words_apart(out, count, b->words, b->len));
    assert(c == nullptr || (words_apart(out, count, c->words, c->len) && words_apart(out, count, d->words, d->len)));
    if (longest <= kFmtSchoolbookMax) {
        const double err = small_product(a, b, c, d, out, count);
        if (exact_later) {
            check_formed(out, count);
            return err;
        }
        return check_product(a, b, c, d, out, count, true, err);
    }
    return check_product(a, b, c, d, out, count, false, transform_product(a, b, c, d, out, count));
}

double fmt_mul_add(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out)
{
    return product(a, b, c, d, out, false);
}

double fmt_mul_add_verified_later(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out)
{
    return product(a, b, c, d, out, true);
}

double fmt_mul(FmtOperand* a, FmtOperand* b, double* out) { return fmt_mul_add(a, b, nullptr, nullptr, out); }

double fmt_convolve(const double* a, const double* b, double* out, int n)
{
    FmtOperand x, y;
    fmt_operand(&x, a, n);
    if (b != a) fmt_operand(&y, b, n);
    const double err = fmt_mul(&x, b == a ? &x : &y, out);
    fmt_release(&x);
    if (b != a) fmt_release(&y);
    return err;
}


double ln_mul_cut(const LongNum* x, int nx, const LongNum* y, int ny, LongNum* out, int n)
{
    assert(nx >= 1 && ny >= 1 && n >= 1);
    // The whole product goes to a spectrum slot, and is cut from there.
    const int buffer = take_slot();
    double* whole = spectra[buffer];
    FmtOperand a, b;
    const bool square = x == y && nx == ny;
    fmt_operand(&a, x + 1, nx);
    fmt_last_use(&a);
    if (!square) fmt_operand(&b, y + 1, ny);
    const double err = fmt_mul(&a, square ? &a : &b, whole);
    fmt_release(&a);
    if (!square) fmt_release(&b);
    // The product's nx + ny words have the exponent x[0] + y[0].
    ln_from_words(whole, nx + ny, x[0] + y[0], out, n);
    give_slot(buffer);
    return err;
}

double ln_mul(const LongNum* p, const LongNum* q, LongNum* out, int n)
{
    return ln_mul_cut(p, n, q, n, out, 2 * n);
}
