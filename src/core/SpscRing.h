// A lock-free single-producer single-consumer ring of trivially copyable items,
// sized once at construction (rounded up to a power of two). The producer never
// blocks or allocates: items that do not fit are dropped and counted.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

template <typename T> class SpscRing
{
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    explicit SpscRing(size_t minimumCapacity)
    {
        size_t capacity = 2;
        while (capacity < minimumCapacity)
            capacity <<= 1;
        m_iMask = capacity - 1;
        m_pItems.reset(new T[capacity]);
    }

    size_t Capacity() const { return m_iMask + 1; }

    // Producer: writes up to count items; returns how many fit.
    size_t Push(const T* items, size_t count)
    {
        const size_t head = m_iHead.load(std::memory_order_relaxed);
        const size_t tail = m_iTail.load(std::memory_order_acquire);
        const size_t space = Capacity() - (head - tail);
        const size_t n = count < space ? count : space;
        for (size_t i = 0; i < n; ++i)
            m_pItems[(head + i) & m_iMask] = items[i];
        m_iHead.store(head + n, std::memory_order_release);
        if (n < count)
            m_iDropped.fetch_add(count - n, std::memory_order_relaxed);
        return n;
    }

    // Consumer: reads up to count items; returns how many were read.
    size_t Pop(T* items, size_t count)
    {
        const size_t tail = m_iTail.load(std::memory_order_relaxed);
        const size_t head = m_iHead.load(std::memory_order_acquire);
        const size_t available = head - tail;
        const size_t n = count < available ? count : available;
        for (size_t i = 0; i < n; ++i)
            items[i] = m_pItems[(tail + i) & m_iMask];
        m_iTail.store(tail + n, std::memory_order_release);
        return n;
    }

    size_t Dropped() const { return m_iDropped.load(std::memory_order_relaxed); }

  private:
    std::unique_ptr<T[]> m_pItems;
    size_t m_iMask = 0;
    alignas(64) std::atomic<size_t> m_iHead{0};
    alignas(64) std::atomic<size_t> m_iTail{0};
    std::atomic<size_t> m_iDropped{0};
};
