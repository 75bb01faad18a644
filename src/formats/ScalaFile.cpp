#include "formats/ScalaFile.h"

#include "core/Printable.h"
#include "core/TextParse.h"
#include "file/File_Disk.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <utility>

namespace
{
// The lines of a Scala file that are not comments, each with its number.
class ScalaLines
{
  public:
    ScalaLines(const std::string& text, std::string name) : m_sName(std::move(name))
    {
        m_text.str(TextParse::WithoutByteOrderMark(text));
    }

    // The next line that is not a comment, without its line ending.
    bool Next(std::string& line)
    {
        while (std::getline(m_text, line))
        {
            ++m_iLine;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.starts_with('!'))
                return true;
        }
        ++m_iLine; // a missing line is reported where it should have been
        return false;
    }

    // The first word of the next line; false (with the error set) at the end.
    bool NextWord(std::string& word, const std::string& what, std::string& error)
    {
        std::string line;
        if (!Next(line))
        {
            error = Fail("missing " + what);
            return false;
        }
        std::istringstream words(line);
        word.clear();
        words >> word;
        if (word.empty())
        {
            error = Fail("missing " + what);
            return false;
        }
        return true;
    }

    std::string Fail(const std::string& problem) const
    {
        return TextParse::Located(m_sName, m_iLine, problem);
    }
    int GetLine() const { return m_iLine; }

  private:
    std::istringstream m_text;
    std::string m_sName;
    int m_iLine = 0;
};

// A whole number of digits alone, as a ratio's terms are written.
bool ParseDigits(const std::string& word, double& value)
{
    if (word.empty() || word.size() > 30 || word.find_first_not_of("0123456789") != word.npos)
        return false;
    value = std::strtod(word.c_str(), nullptr);
    return true;
}

// A pitch in cents, or false with the problem.
bool ParsePitch(const std::string& word, double& cents, std::string& problem)
{
    if (word.find('.') != word.npos)
    {
        if (!TextParse::ParseReal(word, cents))
        {
            problem = Printable::Echo(word) + " is not a pitch in cents";
            return false;
        }
        return true;
    }
    if (word.starts_with('-'))
    {
        problem = "the ratio " + Printable::Echo(word) + " is not above zero";
        return false;
    }
    const size_t slash = word.find('/');
    double numerator = 0.0, denominator = 1.0;
    if (!ParseDigits(word.substr(0, slash), numerator) ||
        (slash != word.npos && !ParseDigits(word.substr(slash + 1), denominator)))
    {
        problem =
            Printable::Echo(word) + " is not a pitch (cents with a dot, or a ratio such as 3/2)";
        return false;
    }
    if (numerator <= 0.0 || denominator <= 0.0)
    {
        problem = "the ratio " + Printable::Echo(word) + " is not above zero";
        return false;
    }
    cents = 1200.0 * std::log2(numerator / denominator);
    return true;
}
} // namespace

bool ScalaFile::ParseScale(const std::string& text, const std::string& name, Tuning& tuning,
                           std::string& error)
{
    ScalaLines lines(text, name);
    std::string description, word;
    if (!lines.Next(description))
    {
        error = lines.Fail("missing the description line");
        return false;
    }
    if (!lines.NextWord(word, "the number of pitches", error))
        return false;
    long count = 0;
    if (!TextParse::ParseInteger(word, 0, 1000000, count))
    {
        error = lines.Fail(Printable::Echo(word) + " is not a number of pitches");
        return false;
    }
    if (count < 1 || count > Tuning::c_iMaxDegrees)
    {
        error = lines.Fail("a scale needs 1 to " + std::to_string(Tuning::c_iMaxDegrees) +
                           " pitches, the last its period; this one has " + Printable::Echo(word));
        return false;
    }
    std::vector<double> cents;
    for (long i = 0; i < count; ++i)
    {
        const std::string what = "pitch " + std::to_string(i + 1) + " of " + std::to_string(count);
        if (!lines.NextWord(word, what, error))
            return false;
        double pitch = 0.0;
        std::string problem;
        if (!ParsePitch(word, pitch, problem))
        {
            error = lines.Fail(problem);
            return false;
        }
        if (pitch <= (cents.empty() ? 0.0 : cents.back()))
        {
            error = lines.Fail(
                cents.empty() ? "the first pitch " + Printable::Echo(word) + " is not above 1/1"
                              : "the pitches must rise, but " + Printable::Echo(word) +
                                    " is not above the one before");
            return false;
        }
        if (pitch > c_rMaxPeriodCents)
        {
            error = lines.Fail("the pitch " + Printable::Echo(word) + " is beyond eight octaves");
            return false;
        }
        cents.push_back(pitch);
    }
    tuning = Tuning(description, std::move(cents), Tuning::c_rLowC);
    return true;
}

bool ScalaFile::ParseKeyboardMapping(const std::string& text, const std::string& name,
                                     KeyboardMapping& mapping, std::string& error)
{
    ScalaLines lines(text, name);
    std::string word;
    long size = 0, first = 0, last = 0, middle = 0, reference = 0, octave = 0;
    const struct
    {
        long* value;
        long max;
        const char* what;
    } integers[] = {{&size, Tuning::c_iMaxDegrees, "the size of the map"},
                    {&first, 127, "the first note"},
                    {&last, 127, "the last note"},
                    {&middle, 127, "the middle note"},
                    {&reference, 127, "the reference note"}};
    for (const auto& field : integers)
    {
        if (!lines.NextWord(word, field.what, error))
            return false;
        if (!TextParse::ParseInteger(word, 0, field.max, *field.value))
        {
            error = lines.Fail(Printable::Echo(word) + " is not " + field.what + " (0 to " +
                               std::to_string(field.max) + ")");
            return false;
        }
    }
    mapping.iReferenceLine = lines.GetLine();
    if (!lines.NextWord(word, "the reference frequency", error))
        return false;
    double hz = 0.0;
    if (!TextParse::ParseReal(word, hz) || hz < Tuning::c_rMinBaseHz || hz > Tuning::c_rMaxBaseHz)
    {
        error =
            lines.Fail(Printable::Echo(word) + " is not a reference frequency from 1 to 20000 Hz");
        return false;
    }
    if (!lines.NextWord(word, "the formal octave degree", error))
        return false;
    if (!TextParse::ParseInteger(word, 0, Tuning::c_iMaxDegrees, octave))
    {
        error = lines.Fail(Printable::Echo(word) + " is not a scale degree for the formal octave");
        return false;
    }
    mapping.keys.degrees.clear();
    for (long i = 0; i < size; ++i)
    {
        const std::string what =
            "map entry " + std::to_string(i + 1) + " of " + std::to_string(size);
        if (!lines.NextWord(word, what, error))
            return false;
        long degree = -1;
        if (word != "x" && word != "X" && !TextParse::ParseInteger(word, 0, 100000, degree))
        {
            error = lines.Fail(Printable::Echo(word) + " is not a scale degree or x");
            return false;
        }
        mapping.keys.degrees.push_back(static_cast<int>(degree));
    }
    mapping.keys.iMiddleKey = static_cast<int>(middle);
    mapping.iReferenceNote = static_cast<int>(reference);
    mapping.rReferenceHz = hz;
    mapping.keys.iOctaveDegree = static_cast<int>(octave);
    return true;
}

bool ScalaFile::BaseFrequency(const KeyboardMapping& mapping, const Tuning& tuning,
                              const std::string& name, double& hz, std::string& error)
{
    // Degree 0 lies below the reference key by that key's degree.
    int degree = 0;
    if (!tuning.KeyDegree(mapping.keys, mapping.iReferenceNote, degree))
    {
        error = TextParse::Located(name, mapping.iReferenceLine,
                                   "the reference note " + std::to_string(mapping.iReferenceNote) +
                                       " is not mapped to a degree");
        return false;
    }
    hz = mapping.rReferenceHz / std::exp2(tuning.GetDegreeOctaves(degree));
    if (!std::isnormal(hz))
    {
        // Thousands of octaves away: a map entry no keyboard means.
        error = TextParse::Located(name, mapping.iReferenceLine,
                                   "the reference note " + std::to_string(mapping.iReferenceNote) +
                                       " puts degree 0 out of hearing");
        return false;
    }
    return true;
}

bool ScalaFile::Load(const std::string& scalePath, const std::string& mappingPath,
                     std::optional<double> baseHz, Tuning& tuning, std::string& error)
{
    std::string text, problem;
    Tuning scale; // without a scale file, twelve equal notes
    if (!scalePath.empty())
    {
        if (!File_Disk::ReadAll(scalePath, c_iMaxFileBytes, text, problem))
        {
            error = Printable::Name(scalePath) + ": cannot read the scale: " + problem;
            return false;
        }
        if (!ParseScale(text, scalePath, scale, error))
            return false;
    }
    if (!mappingPath.empty())
    {
        if (!File_Disk::ReadAll(mappingPath, c_iMaxFileBytes, text, problem))
        {
            error = Printable::Name(mappingPath) + ": cannot read the keyboard mapping: " + problem;
            return false;
        }
        KeyboardMapping mapping;
        double hz = 0.0;
        if (!ParseKeyboardMapping(text, mappingPath, mapping, error) ||
            !BaseFrequency(mapping, scale, mappingPath, hz, error))
            return false;
        scale.SetBaseHz(hz);
        mapping.keys.rMiddleHz = hz;
        scale.SetKeyMap(std::move(mapping.keys));
    }
    else
    {
        // Scala's default mapping: one degree a key, key 60 on degree 0.
        Tuning::KeyMap keys;
        if (baseHz)
        {
            scale.SetBaseHz(*baseHz);
            keys.rMiddleHz = *baseHz;
        }
        else
        {
            // Degree 0 on the low C, moved by whole periods to the one nearest middle C.
            const double period = scale.GetPeriodOctaves();
            const double below = std::log2(Tuning::c_rMiddleC / scale.GetBaseHz());
            keys.rMiddleHz = scale.GetBaseHz() * std::exp2(period * std::round(below / period));
        }
        scale.SetKeyMap(std::move(keys));
    }
    tuning = std::move(scale);
    return true;
}
