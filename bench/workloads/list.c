/* Linked lists in a node pool: build from pseudo-random keys, search, sort by
   insertion and by merge sort, and fold the order into a checksum. */
#include "workload.h"

#define NODES 192

struct node {
    struct node* next;
    uint32_t key;
    uint32_t value;
};

static struct node pool[NODES];

static struct node* build(uint32_t* seed, uint32_t count) {
    struct node* head = 0;
    for (uint32_t i = 0; i < count; ++i) {
        struct node* n = &pool[i];
        n->key = wl_next(seed) & 0xFFFF;
        n->value = i;
        n->next = head;
        head = n;
    }
    return head;
}

static uint32_t search(const struct node* head, uint32_t key) {
    uint32_t steps = 0;
    for (; head; head = head->next, ++steps)
        if (head->key == key) return steps;
    return 0xFFFFu;
}

static struct node* insertion_sort(struct node* head) {
    struct node* sorted = 0;
    while (head) {
        struct node* n = head;
        head = head->next;
        struct node** at = &sorted;
        while (*at && (*at)->key < n->key) at = &(*at)->next;
        n->next = *at;
        *at = n;
    }
    return sorted;
}

static struct node* merge(struct node* a, struct node* b) {
    struct node head;
    struct node* tail = &head;
    while (a && b) {
        if (b->key < a->key) {
            tail->next = b;
            b = b->next;
        } else {
            tail->next = a;
            a = a->next;
        }
        tail = tail->next;
    }
    tail->next = a ? a : b;
    return head.next;
}

static struct node* merge_sort(struct node* head) {
    if (!head || !head->next) return head;
    struct node* slow = head;
    struct node* fast = head->next;
    while (fast && fast->next) {
        slow = slow->next;
        fast = fast->next->next;
    }
    struct node* second = slow->next;
    slow->next = 0;
    return merge(merge_sort(head), merge_sort(second));
}

static uint32_t fold(const struct node* head) {
    uint32_t sum = 0, previous = 0, ordered = 1;
    for (; head; head = head->next) {
        sum = (sum << 5) + sum + head->key * 3 + head->value;
        if (head->key < previous) ordered = 0;
        previous = head->key;
    }
    return sum ^ ordered;
}

void wl_list(uint32_t* results, uint32_t repeat) {
    uint32_t seed = 1;
    for (uint32_t r = 0; r < repeat; ++r) {
        struct node* head = build(&seed, NODES);
        uint32_t found = 0;
        for (uint32_t k = 0; k < 24; ++k) found += search(head, pool[(k * 37) % NODES].key);
        results[0] += found;
        results[1] += search(head, 0x10000);
        head = (r & 1) ? merge_sort(head) : insertion_sort(head);
        results[2] += fold(head);
        results[3] = head->key;
    }
    results[4] = seed;
}
