/* The compiled benchmark workloads. Each one is plain, deterministic C that builds
   both for the phone (THUMB, big-endian, no library) and for the host, where a test
   runs the same code to know the results the emulated run must end with.

   A workload fills results[0..7] from what it computed; `repeat` scales its length
   without changing what one round computes. */
#ifndef TRAVIK_WORKLOAD_H
#define TRAVIK_WORKLOAD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void wl_list(uint32_t* results, uint32_t repeat);
void wl_matrix(uint32_t* results, uint32_t repeat);
void wl_fsm(uint32_t* results, uint32_t repeat);
void wl_crc(uint32_t* results, uint32_t repeat);
void wl_memops(uint32_t* results, uint32_t repeat);
void wl_recurse(uint32_t* results, uint32_t repeat);

#ifdef __cplusplus
}
#endif

/* A small pseudo-random sequence every workload shares (no library rand). */
static inline uint32_t wl_next(uint32_t* state) {
    *state = *state * 1103515245u + 12345u;
    return *state >> 8;
}

#endif
