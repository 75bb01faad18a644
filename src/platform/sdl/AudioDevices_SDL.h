// The sound drivers SDL was built with and the output devices each one offers:
// what --list-audio prints, and what --audio-driver and --audio-device are
// checked against before a live run opens anything.
#pragma once

#include <string>
#include <vector>

class AudioDevices_SDL
{
  public:
    // Every driver SDL was built with, in the order SDL tries them.
    static std::vector<std::string> GetDrivers();

    // Starts `driver` (empty: the one SDL would choose, which SDL_AUDIODRIVER
    // may name) long enough to read its output devices. False with SDL's
    // reason when it does not start; `started` is the driver that did.
    static bool GetDevices(const std::string& driver, std::string& started,
                           std::vector<std::string>& devices, std::string& error);

    // The first name that contains `part`, ignoring case; empty when none does.
    static std::string FindDevice(const std::vector<std::string>& devices, const std::string& part);

    // The listing --list-audio prints: every driver, whether it starts here,
    // its output devices (SDL's test drivers marked as such), and which one a
    // run would use. With `only` (a name CheckDriverName has accepted), that
    // driver alone.
    static std::string Describe(const std::string& only = {});

    // The listing's first line.
    static std::string Heading();

    // Checks a driver name against the drivers SDL was built with (ignoring
    // case); `driver` becomes SDL's spelling of it. False with one line
    // naming the choices, SDL's and the host's own `others`.
    static bool CheckDriverName(std::string& driver, std::string& error,
                                const std::vector<std::string>& others = {});

    // Checks a live run's choice: the driver starts here and, when `device`
    // is not empty, one of its output devices contains it. `device` becomes
    // that device's whole name. False with one line naming the choices.
    static bool Check(std::string& driver, std::string& device, std::string& error,
                      const std::vector<std::string>& others = {});

    // A device or driver name fit for a message, in single quotes.
    static std::string Quoted(const std::string& name);
};
