/* CRC-16/CCITT bit by bit and CRC-32 with a table built at run time, over a
   generated buffer. */
#include "workload.h"

#define BYTES 512

static uint8_t buffer[BYTES];
static uint32_t table[256];

static uint16_t crc16(const uint8_t* p, uint32_t n, uint16_t crc) {
    while (n--) {
        crc ^= (uint16_t)(*p++ << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (uint16_t)(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

static void make_table(void) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
}

static uint32_t crc32(const uint8_t* p, uint32_t n, uint32_t crc) {
    crc = ~crc;
    while (n--) crc = table[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void wl_crc(uint32_t* results, uint32_t repeat) {
    uint32_t seed = 11;
    for (int i = 0; i < BYTES; ++i) buffer[i] = (uint8_t)wl_next(&seed);
    make_table();
    uint16_t c16 = 0xFFFF;
    uint32_t c32 = 0;
    for (uint32_t r = 0; r < repeat; ++r) {
        c16 = crc16(buffer, BYTES, c16);
        c32 = crc32(buffer, BYTES, c32);
        buffer[r % BYTES] ^= (uint8_t)c32;
    }
    results[0] = c16;
    results[1] = c32;
    results[2] = table[255];
    results[3] = crc32((const uint8_t*)"123456789", 9, 0);
}
