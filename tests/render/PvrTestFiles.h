// Helpers for the tests of PVR and APV texture handling: the real files in the shared
// test data, and picture comparison.
#pragma once

#include "support/TestSupport.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pvr_test
{
inline std::filesystem::path PvrDir()
{
    return zindle_test::TestDataDir() / "pvr";
}

inline bool HavePvrFiles()
{
    return !zindle_test::TestDataDir().empty() && std::filesystem::exists(PvrDir());
}

// The whole file, or empty when it is missing.
inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path)
{
    if (!std::filesystem::exists(path))
        return {};
    const std::string bytes = zindle_test::ReadFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

inline std::vector<uint8_t> ReadPvrFile(const std::string& name)
{
    return ReadBytes(PvrDir() / name);
}

// The uncompressed RGBA8888 picture the PVRTC test images were made from (128 x 128).
constexpr size_t c_iPictureSide = 128;
inline std::vector<uint8_t> ReferencePicture()
{
    std::vector<uint8_t> file = ReadPvrFile("test_image_rgba8888.pvr");
    if (file.size() < 52)
        return {};
    return std::vector<uint8_t>(file.begin() + 52, file.end());
}

// Peak signal-to-noise ratio in dB of the red, green and blue channels of test against
// reference (both RGBA8888, same size), over the texels where reference is opaque and
// include(texel index) holds. Infinity when they agree exactly.
template <typename Include>
double PsnrWhereOpaque(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& test,
                       Include include)
{
    double squares = 0.0;
    size_t samples = 0;
    for (size_t i = 0; 4 * i + 3 < reference.size() && 4 * i + 3 < test.size(); ++i)
    {
        if (reference[4 * i + 3] != 255 || !include(i))
            continue;
        for (size_t c = 0; c < 3; ++c)
        {
            const double d = double(reference[4 * i + c]) - double(test[4 * i + c]);
            squares += d * d;
            ++samples;
        }
    }
    if (samples == 0)
        return 0.0;
    if (squares == 0.0)
        return INFINITY;
    return 10.0 * std::log10(255.0 * 255.0 * double(samples) / squares);
}

inline double PsnrWhereOpaque(const std::vector<uint8_t>& reference,
                              const std::vector<uint8_t>& test)
{
    return PsnrWhereOpaque(reference, test, [](size_t) { return true; });
}
} // namespace pvr_test
