/* Integer matrix multiply: C = A x B, then the trace and a checksum of C feed the
   next round's A. */
#include "workload.h"

#define N 12

static int32_t a[N][N], b[N][N], c[N][N];

void wl_matrix(uint32_t* results, uint32_t repeat) {
    uint32_t seed = 7;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            a[i][j] = (int32_t)(wl_next(&seed) & 0xFF) - 128;
            b[i][j] = (int32_t)(wl_next(&seed) & 0x3FF) - 512;
        }
    for (uint32_t r = 0; r < repeat; ++r) {
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) {
                int32_t sum = 0;
                for (int k = 0; k < N; ++k) sum += a[i][k] * b[k][j];
                c[i][j] = sum;
            }
        int32_t trace = 0;
        uint32_t check = 0;
        for (int i = 0; i < N; ++i) {
            trace += c[i][i];
            for (int j = 0; j < N; ++j) check = (check << 1 | check >> 31) ^ (uint32_t)c[i][j];
        }
        results[0] += (uint32_t)trace;
        results[1] ^= check;
        /* Keep the values small: the next A is C scaled down. */
        for (int i = 0; i < N; ++i)
            for (int j = 0; j < N; ++j) a[i][j] = (c[i][j] >> 12) & 0x1FF;
    }
    results[2] = (uint32_t)c[N - 1][N - 1];
    results[3] = (uint32_t)a[0][0];
}
