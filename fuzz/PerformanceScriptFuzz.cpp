// libFuzzer entry for the performance-script reader and player: any text gives
// either a one-line error naming the file and line, or events a player can play
// through to the end, times never going backwards.
#include "formats/PerformanceScript.h"
#include "app/ScriptPlayer.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
class Target : public ScriptPlayer::Target
{
  public:
    void TouchDown(int contact, float, float) override { Check(contact); }
    void TouchMove(int contact, float, float) override { Check(contact); }
    void TouchUp(int contact) override { Check(contact); }
    void Shot(const std::string& path) override
    {
        if (path.empty())
            __builtin_trap();
    }
    void Save(const std::string& path) override { Shot(path); }

  private:
    static void Check(int contact)
    {
        if (contact < 1)
            __builtin_trap();
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    PerformanceScript script;
    std::string error;
    if (!script.Parse(text, "fuzz.zs", error))
    {
        // One line, naming the file, short whatever the input, that prints
        // whole: no control byte of the input (a NUL, an escape) comes through.
        if (error.rfind("fuzz.zs:", 0) != 0 || error.size() > 700) // 60 characters, each
            __builtin_trap();                                       // escaped to at most 8
        for (char c : error)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                __builtin_trap();
        return 0;
    }
    double previous = 0.0;
    for (const ScriptEvent& event : script.GetEvents())
    {
        if (!(event.rTime >= previous) || event.rTime > 86400.0 || event.iContact > 99)
            __builtin_trap();
        previous = event.rTime;
    }
    // Played in steps of 10 ms to the end: every event once, nothing left over.
    ScriptPlayer player(script);
    Target target;
    const double end = script.GetDefaultSeconds();
    for (double t = 0.0; t <= end + 0.02 && t < 120.0; t += 0.01)
    {
        player.PlayUntil(ScriptPlayer::SampleOf(t), target);
        player.MoveSlides(t, target);
        player.LiftTaps(target);
        player.TakeShots(target);
    }
    // Without an "end", the run lasts until the last slide has arrived.
    if (!script.GetEnd() && end < 119.0 && !player.IsFinished())
        __builtin_trap();
    return 0;
}
