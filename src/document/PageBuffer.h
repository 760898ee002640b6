#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

// A zero-filled table taken straight from the system's page allocator. Pages are
// only touched when written, and large tables are asked to be backed by huge pages,
// so that allocating the per-halfword tables of a large image costs next to nothing.
class PageBufferBase {
  public:
    PageBufferBase() = default;
    PageBufferBase(const PageBufferBase&) = delete;
    PageBufferBase& operator=(const PageBufferBase&) = delete;
    PageBufferBase(PageBufferBase&& other) noexcept { Swap(other); }
    PageBufferBase& operator=(PageBufferBase&& other) noexcept {
        PageBufferBase tmp(std::move(other));
        Swap(tmp);
        return *this;
    }
    ~PageBufferBase() { Release(); }

    // Replaces the contents with `bytes` zero bytes. False when the memory is not
    // available; the buffer is then empty.
    bool AllocateBytes(size_t bytes);
    void Release();
    size_t ByteSize() const { return bytes_; }

  protected:
    void* raw_ = nullptr;

  private:
    void Swap(PageBufferBase& other) noexcept {
        std::swap(raw_, other.raw_);
        std::swap(bytes_, other.bytes_);
        std::swap(mapped_, other.mapped_);
        std::swap(mappedBytes_, other.mappedBytes_);
    }
    size_t bytes_ = 0;
    void* mapped_ = nullptr;
    size_t mappedBytes_ = 0;
};

template <typename T>
class PageBuffer : public PageBufferBase {
  public:
    bool Allocate(size_t count) { return AllocateBytes(count * sizeof(T)); }
    T* data() { return static_cast<T*>(raw_); }
    const T* data() const { return static_cast<const T*>(raw_); }
    size_t size() const { return ByteSize() / sizeof(T); }
    T& operator[](size_t i) { return data()[i]; }
    const T& operator[](size_t i) const { return data()[i]; }
};
