// The block computation: leaves, then a product tree merging them into the
// exact integers P, Q and T of one DRM block.
#pragma once

// Merges the given number of adjacent n-word runs, starting at word 1 of
// blk_p, blk_q and blk_t, pair by pair into runs of 2n words in place:
// P = Pl Pr, Q = Ql Qr, T = Pl Tr + Qr Tl; an odd last run moves into the
// place of its merged run. The residues of the runs in run_residue are merged
// the same way. Every transform product is checked (and formed again if
// needed) before it replaces its operands. Uses 2n words of scratch. Returns
// the rounding error.
double drm_merge_level(int n, int runs);

// P, Q and T of the given number of terms (1 to fmt_size / 8) starting at
// drm_k, as LongNums of fmt_size words in blk_p, blk_q and blk_t, verified
// against the residues of the leaves (computed once more if they fail).
// Advances drm_k past the block. Returns the largest rounding error of its
// products, or kCheckFailed when the block failed twice.
double drm_block(int formula_index, int fmt_size, int terms);
