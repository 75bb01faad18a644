// Intrusive reference count shared by materials, textures, fonts and scene
// nodes. The creator holds the first reference; the last Release() deletes the
// object. Counts are only touched on the main thread.
#pragma once

#include <cstdint>

class RefCounted
{
  public:
    RefCounted() = default;
    virtual ~RefCounted() = default;

    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    void AddRef() { ++m_iRefCount; }
    // Drops one reference and deletes the object when none is left.
    void Release()
    {
        if (--m_iRefCount == 0)
            delete this;
    }
    int32_t GetRefCount() const { return m_iRefCount; }

  private:
    int32_t m_iRefCount = 1;
};
