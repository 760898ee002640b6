#include "document/PageBuffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
}

bool PageBufferBase::AllocateBytes(size_t bytes) {
    Release();
    if (bytes == 0) return true;
    // Large tables get room to start on a huge-page boundary, so the kernel can back
    // them with 2 MiB pages: one fault per 2 MiB instead of one per 4 KiB.
    const bool huge = bytes >= kHugePage;
    const size_t padding = huge ? kHugePage : 0;
    if (bytes > SIZE_MAX - padding) return false;
    const size_t total = bytes + padding;
    void* mapped = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return false;
    uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    if (huge) {
        start = (start + kHugePage - 1) & ~(kHugePage - 1);
        madvise(reinterpret_cast<void*>(start), bytes, MADV_HUGEPAGE);
    }
    mapped_ = mapped;
    mappedBytes_ = total;
    raw_ = reinterpret_cast<void*>(start);
    bytes_ = bytes;
    return true;
}

void PageBufferBase::Release() {
    if (mapped_ != nullptr) munmap(mapped_, mappedBytes_);
    mapped_ = nullptr;
    mappedBytes_ = 0;
    raw_ = nullptr;
    bytes_ = 0;
}
