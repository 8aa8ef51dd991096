// FMT multiplication: exact products of word vectors by the weighted FFT of
// fft.h, each rounded to whole coefficients, carried into balanced words and
// checked.
//
// Every product returns its rounding error, the largest distance of a computed
// coefficient from the whole number it was rounded to. Every product is
// checked (check.h): one that fails, or whose rounding error reaches
// kCheckRedoError, is formed again by an exact route (the words of one operand
// split in halves, so that the coefficients stay far below the precision) and
// checked again; if it still fails, it returns kCheckFailed. Products of
// operands up to kFmtSchoolbookMax words are formed exactly by the schoolbook
// method instead (rounding error 0).
#pragma once

#include "longarith/fft.h"
#include "longarith/longnum.h"

constexpr int kFmtSchoolbookMax = 64;   // operands up to this many words: schoolbook, no transform
static_assert(2 * kFmtSchoolbookMax == kFftMinLength, "the shortest transform follows the schoolbook limit");

// An operand of products: len words, most significant first, units last, read
// in place; they must stay unchanged while the operand is in use. Its residue
// and, once a product has transformed it, its spectrum stay with it, so that
// an operand that enters several products is transformed once per length.
// Spectra live in the multiplication's own storage, a few at a time: release
// an operand when its products are done.
struct FmtOperand {
    const double* words;
    int len;
    double residue;   // of the words, see check.h
    int slot;         // where its spectrum is, -1 for none
    int m;            // the transform length of that spectrum
    bool last_use;    // its next product may sum itself in the spectrum's place
};

// Makes ready for products of up to count words (count <= 2 kFftMaxLength):
// the circles the transform tables are made from, and, for a short run, the
// storage those products use mapped at once (see pages.h). A product does
// without, at some cost.
void fmt_prepare(int count);

// Describes words[0..len-1] as an operand (len >= 1) and computes its residue.
void fmt_operand(FmtOperand* op, const double* words, int len);

// The same with a residue the caller knows already.
void fmt_operand_known(FmtOperand* op, const double* words, int len, double residue);

// Gives the operand's spectrum storage back; the operand may be used again.
void fmt_release(FmtOperand* op);

// Says that the operand's next product is its last one: the product is then
// summed where its spectrum was (one slot less, one area less to touch), and
// the operand, should it enter another product, is transformed again.
void fmt_last_use(FmtOperand* op);

// out[0..a.len + b.len - 1] = a * b, balanced-normalized (out[0] keeps the
// final carry), checked. a and b may be the same operand (a square). out
// overlaps no operand. Returns the rounding error.
double fmt_mul(FmtOperand* a, FmtOperand* b, double* out);

// The words of the product a * b + c * d (of a * b when c and d are null):
// max(a.len + b.len, c.len + d.len).
int fmt_product_words(const FmtOperand* a, const FmtOperand* b, const FmtOperand* c, const FmtOperand* d);

// out[0..count - 1] = a * b + c * d, count = fmt_product_words(a, b, c, d),
// as fmt_mul; c and d may both be null (a * b alone).
double fmt_mul_add(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out);

// The same (a * b alone when c and d are null), except that a product formed
// exactly, without a transform, is not checked here: for a caller that checks
// what it builds from such products (a block checks its P, Q and T against
// its leaves), which saves a residue per short product.
double fmt_mul_add_verified_later(FmtOperand* a, FmtOperand* b, FmtOperand* c, FmtOperand* d, double* out);

// out (2n words) = a * b, balanced-normalized, most significant word first,
// checked; a and b are n-word vectors, only read, and may be the same. out
// overlaps neither a nor b. Returns the rounding error.
double fmt_convolve(const double* a, const double* b, double* out, int n);

// out (2n + 1 doubles) = p * q as a LongNum of 2n words, stripped, checked;
// p and q are read with n words and may be the same array. out overlaps
// neither p nor q. Returns the rounding error.
double ln_mul(const LongNum* p, const LongNum* q, LongNum* out, int n);

// out = the product of the first nx words of x and the first ny words of y,
// cut to its n leading words: a LongNum of n words, stripped. out may be x or
// y: it is written when the product is complete. Returns the rounding error.
double ln_mul_cut(const LongNum* x, int nx, const LongNum* y, int ny, LongNum* out, int n);
