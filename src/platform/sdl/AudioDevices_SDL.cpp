#include "platform/sdl/AudioDevices_SDL.h"

#include "core/Printable.h"
#include "core/TextParse.h"

#include <SDL.h>

#include <algorithm>

namespace
{
constexpr size_t c_iMaxReason = 1024; // characters: SDL's longest message, kept whole

// SDL's drivers for testing: "dummy" plays nothing and "disk" writes the sound
// to a file (sdlaudio.raw in the current folder unless SDL_DISKAUDIOFILE names
// one). SDL never chooses them by itself: only a name starts them.
const char* TestDriverNote(const std::string& driver)
{
    if (driver == "dummy")
        return "test driver: plays nothing";
    if (driver == "disk")
        return "test driver: writes the sound to $SDL_DISKAUDIOFILE, else sdlaudio.raw";
    return nullptr;
}

std::string Reason(const std::string& error)
{
    return Printable::Quote(error, c_iMaxReason);
}

// "a, b, c", or "'a', 'b'" with quotes. A test driver is marked as one.
std::string JoinNames(const std::vector<std::string>& names, bool quote)
{
    std::string text;
    for (const std::string& name : names)
    {
        if (!text.empty())
            text += ", ";
        text += quote ? AudioDevices_SDL::Quoted(name) : Printable::Quote(name);
        if (!quote && TestDriverNote(name))
            text += " (test driver)";
    }
    return text;
}

// The listing's lines for one driver: its output devices, or why it does not
// start here. `name` heads the first line; `note`, when there is one, ends it.
std::string DriverLines(const std::string& name, bool started,
                        const std::vector<std::string>& devices, const std::string& error,
                        const char* note)
{
    constexpr int c_iColumn = 12; // characters of the driver column
    std::vector<std::string> entries;
    if (!started)
        entries.push_back("does not start here: " + Reason(error));
    else if (devices.empty())
        entries.emplace_back("no output device");
    for (const std::string& device : devices)
        entries.push_back(AudioDevices_SDL::Quoted(device));
    if (note)
        entries.front() += std::string(" (") + note + ")";
    std::string text;
    for (size_t i = 0; i < entries.size(); ++i)
    {
        std::string head = i == 0 ? name : std::string();
        head.resize(std::max<size_t>(head.size(), c_iColumn), ' ');
        text += "  " + head + " " + entries[i] + "\n";
    }
    return text;
}

// The drivers that start here.
std::vector<std::string> WorkingDrivers()
{
    std::vector<std::string> working;
    for (const std::string& driver : AudioDevices_SDL::GetDrivers())
    {
        std::string started, error;
        std::vector<std::string> devices;
        if (AudioDevices_SDL::GetDevices(driver, started, devices, error))
            working.push_back(driver);
    }
    return working;
}
} // namespace

std::string AudioDevices_SDL::Quoted(const std::string& name)
{
    std::string text(1, '\'');
    text += Printable::Quote(name);
    text += '\'';
    return text;
}

std::vector<std::string> AudioDevices_SDL::GetDrivers()
{
    std::vector<std::string> drivers;
    const int count = SDL_GetNumAudioDrivers();
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDriver(i))
            drivers.emplace_back(name);
    return drivers;
}

bool AudioDevices_SDL::GetDevices(const std::string& driver, std::string& started,
                                  std::vector<std::string>& devices, std::string& error)
{
    devices.clear();
    started.clear();
    // SDL's own audio start, without the subsystem's count: nothing else is
    // playing while the command line is checked.
    if (SDL_AudioInit(driver.empty() ? nullptr : driver.c_str()) != 0)
    {
        error = SDL_GetError();
        return false;
    }
    if (const char* current = SDL_GetCurrentAudioDriver())
        started = current;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 0))
            devices.emplace_back(name);
    SDL_AudioQuit();
    return true;
}

std::string AudioDevices_SDL::FindDevice(const std::vector<std::string>& devices,
                                         const std::string& part)
{
    const std::string wanted = TextParse::Lower(part);
    for (const std::string& device : devices)
        if (TextParse::Lower(device).find(wanted) != std::string::npos)
            return device;
    return {};
}

std::string AudioDevices_SDL::Heading()
{
    return "Audio drivers and their output devices (--audio-driver NAME, --audio-device NAME):\n";
}

std::string AudioDevices_SDL::Describe(const std::string& only)
{
    std::string text = Heading();
    const std::vector<std::string> drivers =
        only.empty() ? GetDrivers() : std::vector<std::string>{only};
    for (const std::string& driver : drivers)
    {
        std::string started, error;
        std::vector<std::string> devices;
        const bool starts = GetDevices(driver, started, devices, error);
        text += DriverLines(driver, starts, devices, error, TestDriverNote(driver));
    }
    if (!only.empty())
        return text;
    std::string started, error;
    std::vector<std::string> devices;
    if (!GetDevices("", started, devices, error))
        text += "No driver starts by default (" + Reason(error) +
                "): a run plays silently unless --audio-driver chooses one that does.\n";
    else if (devices.empty())
        text += "A run uses " + started +
                ", which lists no output device: it plays silently unless --audio-driver "
                "chooses another.\n";
    else
        text += "A run plays on " + started +
                " unless --audio-driver or SDL_AUDIODRIVER chooses another.\n";
    return text;
}

bool AudioDevices_SDL::CheckDriverName(std::string& driver, std::string& error,
                                       const std::vector<std::string>& others)
{
    std::vector<std::string> drivers = GetDrivers();
    for (const std::string& known : drivers)
    {
        if (TextParse::Lower(known) == TextParse::Lower(driver))
        {
            driver = known;
            return true;
        }
    }
    drivers.insert(drivers.end(), others.begin(), others.end());
    error = "unknown audio driver " + Quoted(driver) +
            " (choose from: " + JoinNames(drivers, false) + ")";
    return false;
}

bool AudioDevices_SDL::Check(std::string& driver, std::string& device, std::string& error,
                             const std::vector<std::string>& others)
{
    if (!driver.empty() && !CheckDriverName(driver, error, others))
        return false;
    std::string started, reason;
    std::vector<std::string> devices;
    if (!GetDevices(driver, started, devices, reason))
    {
        if (driver.empty() && device.empty())
            return true; // as without a sound card: the run says so and plays silently
        const std::vector<std::string> working = WorkingDrivers();
        error =
            (driver.empty() ? std::string("no audio driver starts here")
                            : "audio driver " + Quoted(driver) + " does not start here") +
            " (" + Reason(reason) + "); " +
            (working.empty() ? "no driver does" : "drivers that do: " + JoinNames(working, false));
        return false;
    }
    if (device.empty())
        return true;
    const std::string match = FindDevice(devices, device);
    if (match.empty())
    {
        error = "no " + started + " output device name contains " + Quoted(device) + " (" +
                (devices.empty() ? "it lists none" : "choose from: " + JoinNames(devices, true)) +
                ")";
        return false;
    }
    // The device belongs to the driver it was found on.
    driver = started;
    device = match;
    return true;
}
