// MIDI in: channel messages played on the four voices. A note-on takes the
// lowest idle voice as a new finger would (with every voice busy, it sounds
// nothing) and sounds the note's exact pitch plus its channel's pitch bend;
// the timbre follows CC 74 or the mod wheel (CC 1), else channel pressure,
// else sits in the middle. Plain MIDI: a channel's bend moves all its notes,
// over 2 semitones unless RPN 0 says otherwise. MPE: the configuration
// message (RPN 6 on channel 1 or 16) makes zones whose member channels bend
// their own notes over 48 semitones, plus the zone's manager channel's bend.
// The sustain pedal holds notes. With a tuning, keys play the scale through its
// keyboard mapping (bends still count in semitones); a note's velocity sets
// its voice's level. One thread at a time: the main thread, or through JACK
// the process callback (the voices are set before it plays).
#pragma once

#include "core/MidiEvent.h"
#include "synth/Synth_FourVoice.h"

class SoundControl_Theremin;
class Tuning;

class MidiVoices
{
  public:
    static constexpr int c_iChannels = 16;
    static constexpr int c_iDefaultBendRange = 2;        // semitones, plain channels
    static constexpr int c_iDefaultMemberBendRange = 48; // semitones, MPE member channels
    static constexpr float c_rMiddleTimbre = 0.5f;

    // The voices notes play on (null entries: none); ends the notes playing.
    void SetVoices(SoundControl_Theremin* const* voices, int count);
    // The scale keys play in; null, or a tuning that gives every key its
    // equal-tempered pitch (within a thousandth of a cent), plays them as
    // equal temperament on A = 440 Hz. Takes effect from the next note.
    void SetTuning(const Tuning* tuning);
    void Handle(const MidiEvent& event);
    // Ends every note and forgets every controller, bend and zone.
    void Reset();

    // The voice a note of a channel sounds on (channel 0-based), or -1.
    int FindVoice(int channel, int note) const;

  private:
    struct Channel
    {
        int iBend = 8192;        // 14 bits, 8192 in the middle
        float rBendRange = 2.0f; // semitones either way
        int iRpn = 0x3FFF;       // the parameter data entry sets; 0x3FFF none
        int iTimbre = -1;        // the last CC 74 or CC 1, -1 before any
        int iPressure = -1;      // the last channel pressure, -1 before any
        bool bSustain = false;
    };
    struct Voice
    {
        bool bOn = false;
        bool bHeld = false; // released while the pedal was down
        int iChannel = 0;
        int iNote = 0;
        int iVelocity = 0;
        double rKeyHz = 0.0; // the key's pitch in the tuning, before any bend
    };

    void NoteOn(int channel, int note, int velocity);
    void NoteOff(int channel, int note);
    void Controller(int channel, int number, int value);
    void SetZone(int manager, int members);
    // The zone manager a channel's notes also follow, or -1.
    int ManagerOf(int channel) const;
    void Sound(int voice, bool began);
    void Release(int voice);
    // Every sounding voice of a channel (and, for a manager, of its zone) again.
    void Refresh(int channel);

    SoundControl_Theremin* m_pVoices[Synth_FourVoice::c_iVoices] = {};
    Voice m_voices[Synth_FourVoice::c_iVoices];
    Channel m_channels[c_iChannels];
    bool m_bTuned = false;
    double m_rKeyHz[128] = {}; // with a tuning: each key's pitch, 0 for a key that plays nothing
    int m_iLowerMembers = 0;   // MPE lower zone: manager channel 1, members 2 ..
    int m_iUpperMembers = 0;   // MPE upper zone: manager channel 16, members 15 down
};
