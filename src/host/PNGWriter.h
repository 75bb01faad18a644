// Writes 8-bit RGB PNG files (screenshots) on libpng, under a temporary name
// renamed into place when complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class OutputFile;

class PNGWriter
{
  public:
    // rgba: width x height texels, top row first; alpha is dropped (the screen
    // is opaque). False, with a reason and no file left behind, on failure.
    static bool WriteRGB(const std::string& path, int width, int height,
                         const std::vector<uint8_t>& rgba, std::string& error);
    // The same into an output opened beforehand, which it commits or abandons.
    static bool Write(OutputFile& output, int width, int height, const std::vector<uint8_t>& rgba,
                      std::string& error);
};
