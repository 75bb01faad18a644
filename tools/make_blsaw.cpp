// Writes the band-limited saw wavetable, as the program computes it, to a file
// (default data/blsaw.dat): 2048 little-endian 32-bit floats, no header.
#include "dsp/SoundSource_BLSaw.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc > 2)
    {
        std::fprintf(stderr, "usage: %s [OUTPUT]\n", argv[0]);
        return 2;
    }
    const std::string path = argc == 2 ? argv[1] : "data/blsaw.dat";

    float table[SoundSource_BLSaw::c_iTableEntries];
    SoundSource_BLSaw::ComputeSampleBuffer(table);

    unsigned char bytes[SoundSource_BLSaw::c_iFileBytes];
    for (int j = 0; j < SoundSource_BLSaw::c_iTableSize; ++j)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &table[j], sizeof(bits));
        for (int b = 0; b < 4; ++b)
            bytes[4 * j + b] = static_cast<unsigned char>(bits >> (8 * b));
    }

    const std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
    {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], temporary.c_str());
        return 1;
    }
    const bool written = std::fwrite(bytes, 1, sizeof(bytes), file) == sizeof(bytes);
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
        return 1;
    }
    std::printf("wrote %s (%zu bytes)\n", path.c_str(), sizeof(bytes));
    return 0;
}
