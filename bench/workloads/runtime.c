/* Library routines the compiled workloads call: division and the memory block
   operations. Built with -fno-builtin and without loop-to-call rewriting, so these
   never call themselves. */
#include <stddef.h>
#include <stdint.h>

uint32_t __aeabi_uidiv(uint32_t n, uint32_t d);
int32_t __aeabi_idiv(int32_t n, int32_t d);
void* memcpy(void* dest, const void* src, size_t n);
void* memmove(void* dest, const void* src, size_t n);
void* memset(void* dest, int c, size_t n);

/* Shift and subtract; a division by zero gives 0. */
uint32_t __aeabi_uidiv(uint32_t n, uint32_t d) {
    if (d == 0) return 0;
    uint32_t bit = 1, q = 0;
    while (d < n && !(d & 0x80000000u)) {
        d <<= 1;
        bit <<= 1;
    }
    while (bit) {
        if (n >= d) {
            n -= d;
            q |= bit;
        }
        d >>= 1;
        bit >>= 1;
    }
    return q;
}

int32_t __aeabi_idiv(int32_t n, int32_t d) {
    const uint32_t un = n < 0 ? 0u - (uint32_t)n : (uint32_t)n;
    const uint32_t ud = d < 0 ? 0u - (uint32_t)d : (uint32_t)d;
    const uint32_t q = __aeabi_uidiv(un, ud);
    return (int32_t)((n < 0) != (d < 0) ? 0u - q : q);
}

void* memcpy(void* dest, const void* src, size_t n) {
    uint8_t* d = dest;
    const uint8_t* s = src;
    if ((((uintptr_t)d | (uintptr_t)s) & 3) == 0) {
        for (; n >= 4; n -= 4, d += 4, s += 4)
            *(uint32_t*)(void*)d = *(const uint32_t*)(const void*)s;
    }
    while (n--) *d++ = *s++;
    return dest;
}

void* memmove(void* dest, const void* src, size_t n) {
    uint8_t* d = dest;
    const uint8_t* s = src;
    if (d <= s || d >= s + n) return memcpy(dest, src, n);
    while (n--) d[n] = s[n];
    return dest;
}

void* memset(void* dest, int c, size_t n) {
    uint8_t* d = dest;
    while (n--) *d++ = (uint8_t)c;
    return dest;
}
