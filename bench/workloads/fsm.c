/* A switch-driven tokenizer over generated text: numbers (decimal and hex),
   names, operators, comments and strings, counted per kind. */
#include "workload.h"

#define TEXT 1024

static uint8_t text[TEXT];

enum state { START, NUMBER, HEX, NAME, OP, COMMENT, STRING, ESCAPE };

static void generate(uint32_t* seed) {
    static const char pieces[] = "a1 0x1F foo+=bar/*c*/\"s\\\"t\"  9 x_y; <<= 42\n";
    for (int i = 0; i < TEXT; ++i) {
        uint32_t roll = wl_next(seed);
        text[i] = (uint8_t)(roll % 7 == 0 ? (roll >> 9) % 96 + 32
                                          : (uint8_t)pieces[roll % (sizeof pieces - 1)]);
    }
}

static int is_digit(uint32_t ch) {
    return ch - '0' < 10;
}
static int is_alpha(uint32_t ch) {
    return (ch | 32) - 'a' < 26 || ch == '_';
}

void wl_fsm(uint32_t* results, uint32_t repeat) {
    uint32_t seed = 3;
    uint32_t counts[8] = {0};
    uint32_t value = 0, numbers = 0;
    generate(&seed);
    for (uint32_t r = 0; r < repeat; ++r) {
        enum state s = START;
        for (int i = 0; i < TEXT; ++i) {
            const uint32_t ch = text[(i + r) % TEXT];
            switch (s) {
                case START:
                    if (ch == '0' && text[(i + r + 1) % TEXT] == 'x') {
                        s = HEX;
                        ++i;
                        value = 0;
                    } else if (is_digit(ch)) {
                        s = NUMBER;
                        value = ch - '0';
                    } else if (is_alpha(ch)) {
                        s = NAME;
                    } else if (ch == '"') {
                        s = STRING;
                    } else if (ch == '/' && text[(i + r + 1) % TEXT] == '*') {
                        s = COMMENT;
                        ++i;
                    } else if (ch > ' ') {
                        s = OP;
                    }
                    break;
                case NUMBER:
                    if (is_digit(ch)) {
                        value = value * 10 + ch - '0';
                    } else {
                        numbers += value;
                        ++counts[NUMBER];
                        s = START;
                        --i;
                    }
                    break;
                case HEX:
                    if (is_digit(ch))
                        value = value * 16 + ch - '0';
                    else if ((ch | 32) - 'a' < 6)
                        value = value * 16 + (ch | 32) - 'a' + 10;
                    else {
                        numbers ^= value;
                        ++counts[HEX];
                        s = START;
                        --i;
                    }
                    break;
                case NAME:
                    if (!is_alpha(ch) && !is_digit(ch)) {
                        ++counts[NAME];
                        s = START;
                        --i;
                    }
                    break;
                case OP:
                    if (ch != '=' && ch != '<' && ch != '>') {
                        ++counts[OP];
                        s = START;
                        --i;
                    }
                    break;
                case COMMENT:
                    if (ch == '/' && text[(i + r + TEXT - 1) % TEXT] == '*') {
                        ++counts[COMMENT];
                        s = START;
                    }
                    break;
                case STRING:
                    if (ch == '\\')
                        s = ESCAPE;
                    else if (ch == '"') {
                        ++counts[STRING];
                        s = START;
                    }
                    break;
                case ESCAPE:
                    ++counts[ESCAPE];
                    s = STRING;
                    break;
            }
        }
        counts[START] += s;
    }
    for (int k = 0; k < 7; ++k) results[k] = counts[k + 1];
    results[7] = numbers + counts[START];
}
