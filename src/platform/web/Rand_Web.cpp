// The C library's rand() and srand() as the desktop's glibc computes them, in
// place of the browser's C library (musl), whose sequence differs: the scene
// draws its backdrop and decals from rand(), so a seed must place them where
// the desktop does for the page's frames to match the desktop's.
#include <cstdint>

namespace
{
// glibc's default generator: an additive feedback generator over 31 words,
// r[i] = r[i - 3] + r[i - 31], seeded by a Lehmer generator and run 310
// steps before the first output; rand() is the new word shifted right once.
class GlibcRandom
{
  public:
    void Seed(unsigned int seed)
    {
        int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
        m_iState[0] = word;
        for (int i = 1; i < c_iWords; ++i)
        {
            // 16807 * word mod (2^31 - 1), without overflow (Schrage's method).
            const int32_t hi = word / 127773;
            const int32_t lo = word % 127773;
            word = 16807 * lo - 2836 * hi;
            if (word < 0)
                word += 2147483647;
            m_iState[i] = word;
        }
        m_iFront = c_iSeparation;
        m_iRear = 0;
        for (int i = 0; i < 10 * c_iWords; ++i)
            Next();
    }

    int Next()
    {
        m_iState[m_iFront] = static_cast<int32_t>(static_cast<uint32_t>(m_iState[m_iFront]) +
                                                  static_cast<uint32_t>(m_iState[m_iRear]));
        const int result = static_cast<int>(static_cast<uint32_t>(m_iState[m_iFront]) >> 1);
        m_iFront = (m_iFront + 1) % c_iWords;
        m_iRear = (m_iRear + 1) % c_iWords;
        return result;
    }

  private:
    static constexpr int c_iWords = 31;
    static constexpr int c_iSeparation = 3;

    int32_t m_iState[c_iWords] = {};
    int m_iFront = 0;
    int m_iRear = 0;
};

GlibcRandom g_random;
bool g_bSeeded = false;
} // namespace

extern "C" void srand(unsigned int seed)
{
    g_random.Seed(seed);
    g_bSeeded = true;
}

extern "C" int rand()
{
    if (!g_bSeeded)
        srand(1);
    return g_random.Next();
}
