#include "support/MidiFileReader.h"

#include "support/TestSupport.h"

#include <glib.h> // before smf.h, which includes it inside extern "C"
#include <smf.h>

#include <memory>

namespace zindle_test
{
bool ReadMidiFile(const std::filesystem::path& path, MidiFile& file, std::string& error)
{
    file = MidiFile();
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code))
    {
        error = "no file " + path.string();
        return false;
    }
    // Every chunk lies inside the file (libsmf aborts on one that runs past its end);
    // libsmf refuses a malformed header or event, and says why on stderr.
    const std::string bytes = ReadFile(path);
    for (size_t at = 0; at < bytes.size();)
    {
        if (bytes.size() - at < 8)
        {
            error = "a truncated chunk header";
            return false;
        }
        uint32_t length = 0;
        for (size_t i = 4; i < 8; ++i)
            length = (length << 8) | static_cast<uint8_t>(bytes[at + i]);
        if (bytes.size() - at - 8 < length)
        {
            error = "a chunk longer than the file";
            return false;
        }
        at += 8 + length;
    }
    const std::unique_ptr<smf_t, void (*)(smf_t*)> smf(
        smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size())), smf_delete);
    if (!smf)
    {
        error = "libsmf cannot read " + path.string();
        return false;
    }
    file.format = smf->format;
    file.tracks = smf->number_of_tracks;
    file.division = smf->ppqn;
    for (int t = 1; t <= smf->number_of_tracks; ++t)
    {
        smf_track_t* track = smf_get_track_by_number(smf.get(), t);
        std::vector<MidiFileEvent>& events = file.trackEvents.emplace_back();
        for (int n = 1; n <= track->number_of_events; ++n)
        {
            const smf_event_t* e = smf_track_get_event_by_number(track, n);
            MidiFileEvent event;
            event.tick = e->time_pulses;
            event.status = e->midi_buffer[0];
            size_t payload = 1;
            if (event.status == 0xFF) // type, then a variable-length size
            {
                event.metaType = e->midi_buffer[1];
                for (payload = 2; e->midi_buffer[payload] & 0x80; ++payload)
                    ;
                ++payload;
            }
            event.data.assign(e->midi_buffer + payload, e->midi_buffer + e->midi_buffer_length);
            events.push_back(std::move(event));
        }
        if (events.empty() || events.back().status != 0xFF || events.back().metaType != 0x2F)
        {
            error = "track " + std::to_string(t) + " does not end with its end event";
            return false;
        }
    }
    return true;
}
} // namespace zindle_test
