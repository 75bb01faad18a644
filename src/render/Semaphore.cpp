#include "render/Semaphore.h"

Semaphore::Semaphore(int initial, int /*maximum*/)
{
    if (initial == 0)
        m_mutex.lock();
}
