#include "synth/MidiVoices.h"

#include "formats/Tuning.h"
#include "synth/SoundControl_Theremin.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr int c_iNoRpn = 0x3FFF;
constexpr int c_iLowerManager = 0;  // MIDI channel 1
constexpr int c_iUpperManager = 15; // MIDI channel 16
// Bent no further than the notes reach: 8.2 Hz (note 0) to 12.5 kHz (note 127).
constexpr float c_rLowestSemitones = -69.0f; // from A 440
constexpr float c_rHighestSemitones = 58.0f;

double EqualTempered(double semitones)
{
    return 440.0 * std::exp2(semitones / 12.0);
}
} // namespace

void MidiVoices::SetVoices(SoundControl_Theremin* const* voices, int count)
{
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
    {
        Release(i);
        m_pVoices[i] = voices && i < count ? voices[i] : nullptr;
    }
}

void MidiVoices::SetTuning(const Tuning* tuning)
{
    m_bTuned = false;
    for (int key = 0; key < 128; ++key)
    {
        double hz = 0.0;
        if (tuning && !tuning->KeyFrequency(key, hz))
            hz = 0.0;
        m_rKeyHz[key] = hz;
        // A thousandth of a cent: below anything a file states or anyone hears.
        const double equal = EqualTempered(key - 69);
        if (tuning && !(std::fabs(1200.0 * std::log2(hz / equal)) <= 1e-3))
            m_bTuned = true;
    }
}

void MidiVoices::Reset()
{
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        Release(i);
    for (Channel& channel : m_channels)
        channel = Channel();
    m_iLowerMembers = 0;
    m_iUpperMembers = 0;
}

int MidiVoices::FindVoice(int channel, int note) const
{
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        if (m_voices[i].bOn && !m_voices[i].bHeld && m_voices[i].iChannel == channel &&
            m_voices[i].iNote == note)
            return i;
    return -1;
}

void MidiVoices::Handle(const MidiEvent& event)
{
    const int channel = event.Channel();
    const int data1 = event.pBytes[1] & 0x7F;
    const int data2 = event.pBytes[2] & 0x7F;
    switch (event.Status())
    {
    case 0x90:
        if (data2 > 0)
        {
            NoteOn(channel, data1, data2);
            break;
        }
        [[fallthrough]]; // velocity 0 is a note-off
    case 0x80:
        NoteOff(channel, data1);
        break;
    case 0xB0:
        Controller(channel, data1, data2);
        break;
    case 0xD0:
        m_channels[channel].iPressure = data1;
        Refresh(channel);
        break;
    case 0xE0:
        m_channels[channel].iBend = data1 | data2 << 7;
        Refresh(channel);
        break;
    default:
        break; // program changes, polyphonic pressure: nothing to play
    }
}

void MidiVoices::NoteOn(int channel, int note, int velocity)
{
    if (m_bTuned && m_rKeyHz[note] == 0.0)
        return; // a key the mapping leaves out
    // The lowest voice no note and no finger holds, as a finger would take it.
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
    {
        if (!m_pVoices[i] || m_voices[i].bOn || m_pVoices[i]->IsTouchActive())
            continue;
        m_voices[i] = {true, false, channel, note, velocity, m_rKeyHz[note]};
        Sound(i, true);
        return;
    }
}

void MidiVoices::NoteOff(int channel, int note)
{
    const int voice = FindVoice(channel, note);
    if (voice < 0)
        return;
    if (m_channels[channel].bSustain)
        m_voices[voice].bHeld = true; // sounds on until the pedal lifts
    else
        Release(voice);
}

void MidiVoices::Controller(int channel, int number, int value)
{
    Channel& state = m_channels[channel];
    switch (number)
    {
    case 1:  // mod wheel
    case 74: // MPE's timbre
        state.iTimbre = value;
        Refresh(channel);
        break;
    case 64: // sustain pedal
        state.bSustain = value >= 64;
        if (!state.bSustain)
            for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
                if (m_voices[i].bOn && m_voices[i].bHeld && m_voices[i].iChannel == channel)
                    Release(i);
        break;
    case 99: // an NRPN chosen: data entry goes to it, and no NRPN is played here
    case 98:
        state.iRpn = c_iNoRpn;
        break;
    case 101:
        state.iRpn = (state.iRpn & 0x7F) | value << 7;
        break;
    case 100:
        state.iRpn = (state.iRpn & ~0x7F) | value;
        break;
    case 6: // data entry, coarse
        if (state.iRpn == 0)
        {
            state.rBendRange = static_cast<float>(value);
            Refresh(channel);
        }
        else if (state.iRpn == 6 && (channel == c_iLowerManager || channel == c_iUpperManager))
        {
            SetZone(channel, value);
        }
        break;
    case 38: // data entry, fine: the bend range's cents
        if (state.iRpn == 0)
        {
            state.rBendRange = std::floor(state.rBendRange) + static_cast<float>(value) / 100.0f;
            Refresh(channel);
        }
        break;
    case 120: // all sound off
    case 123: // all notes off
        for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
            if (m_voices[i].bOn && m_voices[i].iChannel == channel)
                Release(i);
        break;
    case 121: // reset all controllers
        state.iBend = 8192;
        state.iTimbre = -1;
        state.iPressure = -1;
        state.bSustain = false;
        state.iRpn = c_iNoRpn;
        Refresh(channel);
        break;
    default:
        break;
    }
}

void MidiVoices::SetZone(int manager, int members)
{
    // A zone of 15 members leaves the other manager none; the zones never overlap.
    members = members > 15 ? 15 : members;
    int& own = manager == c_iLowerManager ? m_iLowerMembers : m_iUpperMembers;
    int& other = manager == c_iLowerManager ? m_iUpperMembers : m_iLowerMembers;
    own = members;
    if (own + other > 14)
        other = own >= 15 ? 0 : 14 - own;
    // The configuration sets the zone's bend ranges to their defaults.
    m_channels[manager].rBendRange = c_iDefaultBendRange;
    for (int channel = 0; channel < c_iChannels; ++channel)
        if (ManagerOf(channel) == manager)
            m_channels[channel].rBendRange = c_iDefaultMemberBendRange;
}

int MidiVoices::ManagerOf(int channel) const
{
    if (channel > c_iLowerManager && channel <= m_iLowerMembers)
        return c_iLowerManager;
    if (channel < c_iUpperManager && channel >= c_iUpperManager - m_iUpperMembers)
        return c_iUpperManager;
    return -1;
}

void MidiVoices::Sound(int voice, bool began)
{
    const Voice& v = m_voices[voice];
    auto bend = [&](int channel)
    {
        const Channel& state = m_channels[channel];
        return static_cast<float>(state.iBend - 8192) / 8192.0f * state.rBendRange;
    };
    // Semitones from A 440 without a tuning; with one, the bend alone.
    const float offset = m_bTuned ? 0.0f : static_cast<float>(v.iNote - 69);
    float semitones = offset + bend(v.iChannel);
    const int manager = ManagerOf(v.iChannel);
    if (manager >= 0)
        semitones += bend(manager);
    const Channel& state = m_channels[v.iChannel];
    const float timbre = state.iTimbre >= 0     ? static_cast<float>(state.iTimbre) / 127.0f
                         : state.iPressure >= 0 ? static_cast<float>(state.iPressure) / 127.0f
                                                : c_rMiddleTimbre;
    double hz = 0.0;
    if (m_bTuned)
    {
        // The key's pitch in the scale, bent in equal semitones.
        hz = std::clamp(v.rKeyHz * std::exp2(static_cast<double>(semitones) / 12.0),
                        EqualTempered(c_rLowestSemitones), EqualTempered(c_rHighestSemitones));
    }
    else
    {
        hz = EqualTempered(std::clamp(semitones, c_rLowestSemitones, c_rHighestSemitones));
    }
    m_pVoices[voice]->PlayNote(static_cast<float>(hz), timbre, began,
                               static_cast<float>(v.iVelocity));
}

void MidiVoices::Release(int voice)
{
    if (m_voices[voice].bOn && m_pVoices[voice])
        m_pVoices[voice]->EndNote();
    m_voices[voice] = Voice();
}

void MidiVoices::Refresh(int channel)
{
    for (int i = 0; i < Synth_FourVoice::c_iVoices; ++i)
        if (m_voices[i].bOn && m_pVoices[i] &&
            (m_voices[i].iChannel == channel || ManagerOf(m_voices[i].iChannel) == channel))
            Sound(i, false);
}
