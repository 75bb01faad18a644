// Flushes subnormal floats to zero while in scope: a decaying filter or echo
// tail would otherwise cost many times more per sample. WebAssembly has no such
// mode (nor the cost): there it does nothing.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define ZINDLE_HAS_MXCSR 1
#endif

class DenormalGuard
{
  public:
    DenormalGuard()
    {
#ifdef ZINDLE_HAS_MXCSR
        m_iSaved = _mm_getcsr();
        _mm_setcsr(m_iSaved | 0x8040u); // flush-to-zero | denormals-are-zero
#endif
    }
    ~DenormalGuard()
    {
#ifdef ZINDLE_HAS_MXCSR
        _mm_setcsr(m_iSaved);
#endif
    }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

#ifdef ZINDLE_HAS_MXCSR
  private:
    unsigned int m_iSaved = 0;
#endif
};
