/* Recursive functions: Fibonacci, Ackermann, a recursive quicksort, the greatest
   common divisor and decimal printing (which divide). */
#include "workload.h"

static uint32_t fib(uint32_t n) {
    return n < 2 ? n : fib(n - 1) + fib(n - 2);
}

static uint32_t ackermann(uint32_t m, uint32_t n) {
    if (m == 0) return n + 1;
    if (n == 0) return ackermann(m - 1, 1);
    return ackermann(m - 1, ackermann(m, n - 1));
}

static void quicksort(int32_t* v, int32_t lo, int32_t hi) {
    if (lo >= hi) return;
    const int32_t pivot = v[(lo + hi) / 2];
    int32_t i = lo, j = hi;
    while (i <= j) {
        while (v[i] < pivot) ++i;
        while (v[j] > pivot) --j;
        if (i <= j) {
            const int32_t t = v[i];
            v[i++] = v[j];
            v[j--] = t;
        }
    }
    quicksort(v, lo, j);
    quicksort(v, i, hi);
}

static uint32_t gcd(uint32_t a, uint32_t b) {
    return b ? gcd(b, a % b) : a;
}

static uint32_t decimal(int32_t value, char* out) {
    uint32_t n = 0;
    uint32_t u = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    if (value < 0) out[n++] = '-';
    char digits[12];
    uint32_t d = 0;
    do {
        digits[d++] = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    while (d) out[n++] = digits[--d];
    return n;
}

static int32_t values[96];

void wl_recurse(uint32_t* results, uint32_t repeat) {
    uint32_t seed = 9;
    for (uint32_t r = 0; r < repeat; ++r) {
        results[0] += fib(14 + (r & 3));
        results[1] += ackermann(2, 3 + (r & 1));
        for (int i = 0; i < 96; ++i) values[i] = (int32_t)wl_next(&seed) - 0x400000;
        quicksort(values, 0, 95);
        results[2] ^= (uint32_t)values[r % 96];
        results[3] += gcd(wl_next(&seed) | 1, 3u * 5u * 7u * (r + 1));
        char text[16];
        const int32_t q = values[48] / (int32_t)(r % 7 + 1) + values[0] % 1000;
        results[4] += decimal(q, text) + (uint32_t)text[1];
    }
    results[5] = seed;
}
