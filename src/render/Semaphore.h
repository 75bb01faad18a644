// The renderer's mutex. Created with an initial count of 0 it is locked at once
// by the constructing thread, which then owns it until it unlocks it.
#pragma once

#include <mutex>

class Semaphore
{
  public:
    // maximum is accepted for symmetry with a counting semaphore and not used.
    Semaphore(int initial, int maximum);
    ~Semaphore() = default;

    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }

  private:
    std::mutex m_mutex;
};
