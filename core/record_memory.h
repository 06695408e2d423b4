// Where tree records live. A data set holds a genotype record per person and
// marker: tens of millions of small objects that are
// made while reading and freed together with their trees. They come from
// pools carved out of large regions that the kernel may back with huge pages,
// so gigabytes of records cost a few thousand page faults instead of a
// million, and each record saves the general heap's per-block header.
//
// Builds with AddressSanitizer take records from the general heap, so that
// every record keeps its own redzones and use-after-free checks.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <thread>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define RECORDS_FROM_GENERAL_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RECORDS_FROM_GENERAL_HEAP 1
#endif
#endif

// Carves blocks of exactly the rounded record size out of 64 MiB regions
// aligned to huge pages; freed blocks wait in one list per size for the next
// record of that size. Regions are never given back: a program that read a
// large data set once may well read another.
class RecordPool {
  public:
    static constexpr std::size_t granule = alignof(void*);
    // Larger ones use the general heap. Blocks of a few kilobytes are the
    // engine results that a run keeps for every marker.
    static constexpr std::size_t largestPooled = 16384;
    static constexpr std::size_t hugePage = std::size_t{2} << 20;
    static constexpr std::size_t regionSize = 32 * hugePage;

    void* allocate(std::size_t size) {
        const std::size_t slot = slotOf(size);
        if (FreeBlock* const block = freeLists_[slot]) {
            freeLists_[slot] = block->next;
            return block;
        }
        const std::size_t bytes = slot * granule;
        if (left_ < bytes) {
            startRegion();
        }
        void* const place = next_;
        next_ += bytes;
        left_ -= bytes;
        return place;
    }

    void deallocate(void* place, std::size_t size) noexcept {
        const std::size_t slot = slotOf(size);
        freeLists_[slot] = new (place) FreeBlock{freeLists_[slot]};
    }

  private:
    struct FreeBlock {
        FreeBlock* next;
    };

    std::array<FreeBlock*, largestPooled / granule + 1> freeLists_{};
    char* next_ = nullptr;
    std::size_t left_ = 0;

    static std::size_t slotOf(std::size_t size) {
        return (std::max(size, sizeof(FreeBlock)) + granule - 1) / granule;
    }

    void startRegion() {
#if defined(__linux__)
        // Map one huge page more than needed and cut off both ends, so that
        // the region starts on a huge-page boundary.
        const std::size_t mapped = regionSize + hugePage;
        void* const raw =
            mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) {
            throw std::bad_alloc();
        }
        char* const begin = static_cast<char*>(raw);
        const std::size_t offset = reinterpret_cast<std::uintptr_t>(begin) % hugePage;
        const std::size_t head = offset == 0 ? 0 : hugePage - offset;
        char* const start = begin + head;
        if (head != 0) {
            munmap(begin, head);
        }
        if (const std::size_t tail = mapped - head - regionSize; tail != 0) {
            munmap(start + regionSize, tail);
        }
        madvise(start, regionSize, MADV_HUGEPAGE);  // only a hint: plain pages work as well
        next_ = start;
#else
        next_ = static_cast<char*>(::operator new(regionSize));
#endif
        left_ = regionSize;
    }
};

// Guards the pool. A record is taken or given back in a few instructions,
// one per genotype read: a flag that is almost never contended costs a
// fraction of a mutex's lock and unlock calls, and a thread that finds it
// taken yields until the other is through.
class RecordLock {
  public:
    RecordLock() {
        while (flag().test_and_set(std::memory_order_acquire)) {
            std::this_thread::yield();
        }
    }
    ~RecordLock() { flag().clear(std::memory_order_release); }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

  private:
    static std::atomic_flag& flag() {
        static std::atomic_flag taken = ATOMIC_FLAG_INIT;
        return taken;
    }
};

class RecordMemory {
  public:
    static void* allocate(std::size_t size) {
#if !defined(RECORDS_FROM_GENERAL_HEAP)
        if (size <= RecordPool::largestPooled) {
            const RecordLock lock;
            return pool().allocate(size);
        }
#endif
        return ::operator new(size);
    }

    static void deallocate(void* place, std::size_t size) noexcept {
#if !defined(RECORDS_FROM_GENERAL_HEAP)
        if (size <= RecordPool::largestPooled) {
            const RecordLock lock;
            pool().deallocate(place, size);
            return;
        }
#endif
        ::operator delete(place, size);
    }

  private:
    // Never destroyed, so that records freed by static destructors at exit
    // still find their pool.
    static RecordPool& pool() {
        static auto* const records = new RecordPool();
        return *records;
    }
};

// A standard allocator over the record pools, for the blocks of records that
// a run keeps to its end: the pools' regions are advised for huge pages, so
// that they cost a fault per two megabytes instead of one per page, which on
// some virtual machines costs as much as the work on the records.
template <typename T>
class RecordAllocator {
  public:
    using value_type = T;

    RecordAllocator() = default;
    template <typename U>
    explicit RecordAllocator(const RecordAllocator<U>& /*other*/) {}

    T* allocate(std::size_t count) {
        static_assert(alignof(T) <= RecordPool::granule, "records are pooled at pointer alignment");
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(RecordMemory::allocate(count * sizeof(T)));
    }
    void deallocate(T* place, std::size_t count) noexcept {
        RecordMemory::deallocate(place, count * sizeof(T));
    }

    template <typename U>
    bool operator==(const RecordAllocator<U>& /*other*/) const {
        return true;
    }
    template <typename U>
    bool operator!=(const RecordAllocator<U>& /*other*/) const {
        return false;
    }
};

// For the owner of a program's records on its way out: where records come
// from the pools, the operating system takes the pools' regions back in one
// go at exit, so the object is left to it rather than freed record by record
// (a walk of every record of every tree, for nothing).
// Sanitizer builds free it, so that their leak check still sees every record
// freed.
template <typename T>
void releaseAtExit(std::unique_ptr<T>& owner) {
#if defined(RECORDS_FROM_GENERAL_HEAP)
    owner.reset();
#else
    static_cast<void>(owner.release());
#endif
}

// Memory held back from a program's start for what it must still do once
// memory has run out: say so and remove its files. Never written to, it
// takes address space but no physical memory.
class MemoryReserve {
  public:
    static void hold() {
        if (!block()) {
            block().reset(new char[reservedBytes]);
        }
    }
    static void release() noexcept { block().reset(); }

  private:
    static constexpr std::size_t reservedBytes = std::size_t{16} << 20;

    static std::unique_ptr<char[]>& block() {
        static std::unique_ptr<char[]> reserved;
        return reserved;
    }
};
