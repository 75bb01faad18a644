// Scala tuning files: scales (.scl) and keyboard mappings (.kbm). A scale is a
// description line, the number of pitches, then one pitch a line, in cents
// when it has a dot, else a ratio ("3/2") or a whole number ("2"); anything
// after the pitch is ignored and lines starting with '!' are comments. The
// last pitch is the period. A mapping says which key plays which degree, and
// so where degree 0 lies: its reference key sounds at its reference frequency.
#pragma once

#include "formats/Tuning.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ScalaFile
{
  public:
    static constexpr uint64_t c_iMaxFileBytes = 1u << 20; // 1 MiB
    static constexpr double c_rMaxPeriodCents = 9600.0;   // eight octaves

    struct KeyboardMapping
    {
        Tuning::KeyMap keys;     // middle key, map and octave degree (not yet its Hz)
        int iReferenceNote = 69; // the key whose frequency is given
        double rReferenceHz = 440.0;
        int iReferenceLine = 0; // where the reference note is given, for messages
    };

    // Parse text read from `name`; false with "name:line: problem".
    static bool ParseScale(const std::string& text, const std::string& name, Tuning& tuning,
                           std::string& error);
    static bool ParseKeyboardMapping(const std::string& text, const std::string& name,
                                     KeyboardMapping& mapping, std::string& error);
    // The frequency the mapping gives degree 0 of `tuning`; false when the
    // reference note is unmapped.
    static bool BaseFrequency(const KeyboardMapping& mapping, const Tuning& tuning,
                              const std::string& name, double& hz, std::string& error);

    // The whole tuning a player asks for: the scale (twelve equal notes when
    // scalePath is empty), with degree 0 placed by the mapping (when given),
    // else at baseHz (when given: key 60 plays it), else on the low C (key 60
    // plays the degree 0 nearest middle C: middle C itself when the period is
    // an octave).
    // All or nothing: false with one line naming the file, line and problem.
    static bool Load(const std::string& scalePath, const std::string& mappingPath,
                     std::optional<double> baseHz, Tuning& tuning, std::string& error);
};
