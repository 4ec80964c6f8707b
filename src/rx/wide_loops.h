#pragma once
// Marks a function whose loops gain from wider vectors. On x86-64 it is built twice, for the
// baseline instruction set and for AVX2, and the loader picks the one the processor runs.
// Neither uses fused multiply-adds nor reorders a sum, so both give the same numbers. What the
// function calls out of line is not widened with it.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__ELF__)
#define PELIMO_WIDE_LOOPS __attribute__((target_clones("avx2", "default")))
#else
#define PELIMO_WIDE_LOOPS
#endif
