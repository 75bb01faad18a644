// The readers of the files a player hands the program besides scripts: Scala
// scales and keyboard mappings, settings files and MIDI files. The first byte
// picks the reader. A read either fails with one line or gives values the
// instrument can play; settings read back as they are written.
#include "formats/ScalaFile.h"
#include "formats/Settings.h"
#include "formats/StandardMidiFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
void Expect(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// One line that prints whole: the input's bytes in it are escaped, so no
// control byte (a NUL would end the line early, an escape would drive the
// terminal) comes through.
void ExpectOneLine(const std::string& error)
{
    Expect(!error.empty());
    for (char c : error)
        Expect(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

void CheckScale(const std::string& text)
{
    Tuning tuning;
    std::string error;
    if (!ScalaFile::ParseScale(text, "f.scl", tuning, error))
        return ExpectOneLine(error);
    const int n = tuning.GetDegreeCount();
    Expect(n >= 1 && n <= Tuning::c_iMaxDegrees);
    Expect(tuning.GetPeriodOctaves() > 0.0 && tuning.GetPeriodOctaves() <= 8.0);
    for (int degree = -n; degree < 2 * n; ++degree)
        Expect(tuning.GetDegreeOctaves(degree) < tuning.GetDegreeOctaves(degree + 1));
}

void CheckMapping(const std::string& text)
{
    ScalaFile::KeyboardMapping mapping;
    std::string error;
    if (!ScalaFile::ParseKeyboardMapping(text, "f.kbm", mapping, error))
        return ExpectOneLine(error);
    const Tuning scales[2] = {Tuning(), Tuning("one", {1901.955}, 100.0)};
    for (const Tuning& scale : scales)
    {
        double hz = 0.0;
        if (ScalaFile::BaseFrequency(mapping, scale, "f.kbm", hz, error))
            Expect(std::isnormal(hz) && hz > 0.0);
        else
            ExpectOneLine(error);
    }
}

void CheckSettings(const std::string& text)
{
    Settings settings;
    std::string error;
    if (!settings.Parse(text, "f.conf", error))
        return ExpectOneLine(error);
    for (float slider : settings.rSliders)
        Expect(slider >= 0.0f && slider <= 1.0f);
    Settings again;
    Expect(again.Parse(settings.Format(), "f.conf", error));
    Expect(again.Format() == settings.Format());
}
void CheckMidiFile(const std::string& bytes)
{
    StandardMidiFile file;
    std::string error;
    if (!file.Parse(bytes, "f.mid", 44100.0, error))
        return ExpectOneLine(error);
    int64_t last = 0;
    for (const MidiEvent& event : file.GetEvents())
    {
        Expect(event.iSampleTime >= last && event.iSampleTime <= file.GetEndSample());
        Expect(event.pBytes[0] >= 0x80 && event.pBytes[0] < 0xF0);
        Expect(event.pBytes[1] < 0x80 && event.pBytes[2] < 0x80);
        last = event.iSampleTime;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4)
    {
    case 0:
        CheckScale(text);
        break;
    case 1:
        CheckMapping(text);
        break;
    case 2:
        CheckSettings(text);
        break;
    default:
        CheckMidiFile(text);
        break;
    }
    return 0;
}
