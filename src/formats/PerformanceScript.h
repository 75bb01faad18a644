// A performance script (.zs): timed touches and screenshots for the headless
// host. One event per line: "<time> <event> <arguments>", '#' starts a comment.
//   down <contact> <x> <y>     move <contact> <x> <y>     up <contact>
//   slide <contact> <x> <y> <seconds>   (a straight line, moved at every audio block)
//   tap <x> <y>                (down, then up on the next frame)
//   shot <file>                (screenshot after the frame is drawn; relative
//                               to the script's folder)
//   save <file>                (the settings as they are, for --settings;
//                               relative to the script's folder)
//   end
// Coordinates are landscape screen points (origin top-left, y down); far-off
// ones are held at a million points. Times and slides end within 24 hours. A
// UTF-8 byte-order mark at the start is skipped.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ScriptEvent
{
    enum class Kind
    {
        Down,
        Move,
        Up,
        Slide,
        Tap,
        Shot,
        Save,
        End
    };

    double rTime = 0.0;
    Kind eKind = Kind::End;
    int iContact = 0; // 1 to 99; 0 for tap, shot, save and end
    float rX = 0.0f;
    float rY = 0.0f;
    double rDuration = 0.0; // slide only
    std::string sPath;      // shot and save, resolved against the script's folder
    int iLine = 0;
};

class PerformanceScript
{
  public:
    static constexpr int c_iMaxContact = 99;
    static constexpr double c_rMaxSeconds = 86400.0;             // 24 hours: times and runs
    static constexpr double c_rMaxCoordinate = 1e6;              // points either way
    static constexpr unsigned long c_iMaxFileBytes = 16ul << 20; // 16 MiB

    // Parses text; false with "file:line: problem" in error.
    bool Parse(const std::string& text, const std::string& fileName, std::string& error);
    // Reads and parses a regular file of at most c_iMaxFileBytes; false with a
    // one-line error.
    bool Load(const std::string& path, std::string& error);

    const std::vector<ScriptEvent>& GetEvents() const { return m_events; }
    // The time of an "end" event, if any.
    std::optional<double> GetEnd() const { return m_rEnd; }
    // When the last event is over (a slide counts until it arrives).
    double GetLastEventTime() const { return m_rLast; }
    // How long a headless run of this script lasts by default: its end, else
    // its last event plus 2 s of echo tail.
    double GetDefaultSeconds() const { return m_rEnd ? *m_rEnd : m_rLast + 2.0; }

  private:
    std::vector<ScriptEvent> m_events;
    std::optional<double> m_rEnd;
    double m_rLast = 0.0;
};
