#include "synth/InstrumentState.h"

#include <algorithm>
#include <cmath>

namespace
{
// Index of v in [0, 1) cut into n bins; v that rounds up to 1.0 lands in the last.
int BinIndex(float fraction, int n)
{
    const float scaled = fraction * static_cast<float>(n);
    if (!(scaled >= 0.0f))
        return 0;
    return std::min(static_cast<int>(scaled), n - 1);
}
} // namespace

InstrumentState::InstrumentState()
{
    SetPitchScale(c_rPitchSliderZero);
}

// ---------------------------------------------------------------- window

float InstrumentState::ZoneCount() const
{
    return static_cast<float>(m_edit.rAutotuneSpeed >= 1.0f ? GetEnabledDegreeCount()
                                                            : GetDegreeCount());
}

float InstrumentState::WindowWidth(float zoom) const
{
    // At full zoom one period plus 0.99 of a note zone, so each zone's centre fits.
    const float n = ZoneCount();
    return (1.0f - zoom) * c_rOrigRange + zoom * m_edit.rPeriod * (n + 0.99f) / n;
}

void InstrumentState::UpdateRange()
{
    const float slack = c_rFullRange - WindowWidth(m_rRangeZoom);
    const float pitch = m_rRangePitch;
    m_rMinOctave = c_rFullMin + slack * pitch;
    m_rMaxOctave = c_rFullMax - slack * (1.0f - pitch);
}

void InstrumentState::SetPitchZoom(float z)
{
    m_rRangeZoom = z;
    UpdateRange();
}

void InstrumentState::SetPitchScale(float p)
{
    if (m_rRangeZoom < 1.0f)
    {
        m_rRangePitch = p;
        UpdateRange();
        return;
    }
    // At full zoom the slider steps the window by one note zone, keeping its
    // lower edge half a zone below a zone centre.
    const float n = ZoneCount();
    const float period = m_edit.rPeriod;
    const float base = m_edit.rBaseOctave;
    // After a step the edge is (j + 0.5) / n periods above the base, so this
    // lands on the whole number j + 1 up to rounding; snap to it so that
    // rounding cannot truncate to j (which would make a step do nothing or jump
    // two zones).
    float zone = 0.5f + n * ((m_rMinOctave - base) / period);
    const float whole = std::nearbyint(zone);
    if (std::fabs(zone - whole) < 1e-3f)
        zone = whole;
    const int k = static_cast<int>(zone);
    const float current = m_rRangePitch;
    if (p < current)
        SetMinOctave((static_cast<float>(k) - 1.5f) / n * period + base);
    else if (p > current)
        SetMinOctave((static_cast<float>(k) + 0.5f) / n * period + base);
}

void InstrumentState::SetWindow(float pitch, float zoom)
{
    m_rRangeZoom = zoom;
    m_rRangePitch = pitch;
    UpdateRange();
}

void InstrumentState::SetMinOctave(float o)
{
    const float width = WindowWidth(m_rRangeZoom);
    const float f = (o - c_rFullMin) / (c_rFullRange - width);
    if (f > 1.0f)
    {
        m_rRangePitch = 1.0f;
        UpdateRange();
    }
    else if (f < 0.0f)
    {
        m_rRangePitch = 0.0f;
        UpdateRange();
    }
    else
    {
        m_rMinOctave = o;
        m_rMaxOctave = o + width;
        m_rRangePitch = f;
    }
}

float InstrumentState::OctaveToTouch(float o) const
{
    return (o - m_rMinOctave) / (m_rMaxOctave - m_rMinOctave);
}

// ---------------------------------------------------------------- autotune

void InstrumentState::SetAutotuneSamples(int samples, bool enabled)
{
    if (!enabled)
    {
        m_edit.iCorrectionSamples = 0;
        m_edit.rAutotuneSpeed = 0.0f;
    }
    else
    {
        m_edit.rAutotuneSpeed =
            samples == 0 ? 1.0f : static_cast<float>(1.0 + static_cast<double>(samples) / -10000.0);
        m_edit.iCorrectionSamples = samples;
    }
    Publish();
}

// ---------------------------------------------------------------- note set

void InstrumentState::ToggleNote(int note)
{
    if (note < 0 || note > 11 || note >= GetDegreeCount())
        return;
    if (GetEnabledDegreeCount() == 1 && IsNoteEnabled(note))
        return; // the last enabled note stays on
    m_bNoteEnabled[static_cast<size_t>(note)] = !m_bNoteEnabled[static_cast<size_t>(note)];
    RebuildNoteTables();
    if (IsTuned())
        RebuildDegreeTable();
    Publish();
}

void InstrumentState::RebuildNoteTables()
{
    int count = 0;
    for (int i = 0; i < 12; ++i)
    {
        if (m_bNoteEnabled[static_cast<size_t>(i)])
            m_edit.rNoteTable_Snap[static_cast<size_t>(count++)] = static_cast<float>(i);
    }
    m_edit.iNotesEnabled = count;
    for (int m = 0; m < 24; ++m)
        m_edit.rNoteTable_Assist[static_cast<size_t>(m)] =
            NearestEnabledNote(0.25f + 0.5f * static_cast<float>(m));
}

bool InstrumentState::IsNoteEnabled(int note) const
{
    return note >= 0 && note < 12 && note < GetDegreeCount() &&
           m_bNoteEnabled[static_cast<size_t>(note)];
}

float InstrumentState::NearestEnabledNote(float semitone) const
{
    const float rounded = semitone + 0.5f;
    const int i = rounded >= 12.0f ? 12 : (rounded >= 0.0f ? static_cast<int>(rounded) : 0);
    auto enabled = [&](int n) { return m_bNoteEnabled[static_cast<size_t>(n % 12)]; };
    if (enabled(i))
        return static_cast<float>(i);
    int up = 11;
    for (int d = 1; d <= 11; ++d)
    {
        if (enabled(i + d))
        {
            up = i + d;
            break;
        }
    }
    int down = -1;
    for (int d = 11; d >= 1; --d)
    {
        if (enabled(i + d))
        {
            down = i + d - 12;
            break;
        }
    }
    // Equal distances go down.
    const float upDistance = static_cast<float>(up) - semitone;
    const float downDistance = semitone - static_cast<float>(down);
    return static_cast<float>(upDistance >= downDistance ? down : up);
}

float InstrumentState::Snapshot::OctaveToNearestEnabledNote_Snap(float octave) const
{
    const int n = std::clamp(iNotesEnabled, 1, 12);
    const float u = octave + 0.5f / static_cast<float>(n);
    const float whole = std::floor(u);
    const int zone = BinIndex(u - whole, n);
    return rNoteTable_Snap[static_cast<size_t>(zone)] + whole * 12.0f;
}

float InstrumentState::Snapshot::AssistedOctave(float octave) const
{
    if (bTuned)
    {
        // The nearest enabled degree, the neighbouring periods' included; ties go down.
        const int n = std::clamp(iDegreesEnabled, 1, Tuning::c_iMaxDegrees);
        const float period = rPeriod;
        const float base = rBaseOctave;
        const float periods = std::floor((octave - base) / period);
        const float within = octave - base - periods * period;
        auto degree = [&](int i) { return rDegreeTable[static_cast<size_t>(i)]; };
        // The first enabled degree above the finger, by bisection of the sorted table:
        // the nearest is it or the one before (the neighbouring periods' at the ends).
        int above = 0;
        for (int count = n; count > 0;)
        {
            const int half = count / 2;
            if (degree(above + half) <= within)
            {
                above += half + 1;
                count -= half + 1;
            }
            else
            {
                count = half;
            }
        }
        const float lower = above > 0 ? degree(above - 1) : degree(n - 1) - period;
        const float upper = above < n ? degree(above) : degree(0) + period;
        const float best = upper - within < within - lower ? upper : lower; // ties go down
        return base + periods * period + best;
    }
    const float whole = std::floor(octave);
    const int bin = BinIndex(octave - whole, 24);
    return (rNoteTable_Assist[static_cast<size_t>(bin)] + whole * 12.0f) / 12.0f;
}

float InstrumentState::Snapshot::GetEnabledNoteValue(int index) const
{
    const int n = std::clamp(iNotesEnabled, 1, 12);
    // Octaves counted downwards below the first note, so any index is valid.
    const int q = Tuning::FloorDivide(index, n);
    return rNoteTable_Snap[static_cast<size_t>(index - q * n)] + static_cast<float>(q * 12);
}

float InstrumentState::Snapshot::SnapOctave(float octave) const
{
    if (!bTuned)
        return OctaveToNearestEnabledNote_Snap(octave) / 12.0f;
    // The period cut into equal zones, one per enabled degree, in their order.
    const int n = std::clamp(iDegreesEnabled, 1, Tuning::c_iMaxDegrees);
    const float u = (octave - rBaseOctave) / rPeriod + 0.5f / static_cast<float>(n);
    const float whole = std::floor(u);
    return rBaseOctave + whole * rPeriod +
           rDegreeTable[static_cast<size_t>(BinIndex(u - whole, n))];
}

// ---------------------------------------------------------------- scales

void InstrumentState::SetTuning(const Tuning* tuning)
{
    if (!tuning || tuning->IsTwelveEqualOnC())
    {
        // The twelve notes on C, played exactly as without a scale.
        m_edit.bTuned = false;
        m_iDegrees = 12;
        m_edit.rPeriod = 1.0f;
        m_edit.rBaseOctave = 0.0f;
        Publish();
        return;
    }
    const int n = std::min(tuning->GetDegreeCount(), Tuning::c_iMaxDegrees);
    const double period = tuning->GetPeriodOctaves();
    // Only where degree 0 lies within a period matters.
    const double base = std::log2(tuning->GetBaseHz() / static_cast<double>(Tuning::c_rLowC));
    m_edit.rPeriod = static_cast<float>(period);
    m_edit.rBaseOctave = static_cast<float>(base - period * std::floor(base / period));
    for (int i = 0; i < n; ++i)
        m_rDegreeOctave[static_cast<size_t>(i)] = static_cast<float>(tuning->GetDegreeOctaves(i));
    m_iDegrees = n;
    RebuildDegreeTable();
    m_edit.bTuned = true;
    UpdateRange(); // the window's zones are the scale's now
    Publish();
}

void InstrumentState::RebuildDegreeTable()
{
    const int n = GetDegreeCount();
    int count = 0;
    for (int i = 0; i < n; ++i)
    {
        if (i >= 12 || m_bNoteEnabled[static_cast<size_t>(i)])
            m_edit.rDegreeTable[static_cast<size_t>(count++)] =
                m_rDegreeOctave[static_cast<size_t>(i)];
    }
    if (count == 0)
    {
        // The keys that were on are all past this scale's degrees: degree 0 plays.
        m_bNoteEnabled[0] = true;
        m_edit.rDegreeTable[static_cast<size_t>(count++)] = 0.0f;
        RebuildNoteTables();
    }
    m_edit.iDegreesEnabled = count;
}

float InstrumentState::Snapshot::GetEnabledNoteOctave(int index) const
{
    if (!bTuned)
        return GetEnabledNoteValue(index) / 12.0f;
    const int n = std::clamp(iDegreesEnabled, 1, Tuning::c_iMaxDegrees);
    const int q = Tuning::FloorDivide(index, n);
    return rBaseOctave + static_cast<float>(q) * rPeriod +
           rDegreeTable[static_cast<size_t>(index - q * n)];
}

float InstrumentState::Snapshot::GetSnapZoneOctave(int k) const
{
    const float n = static_cast<float>(std::max(GetEnabledDegreeCount(), 1));
    if (!bTuned)
        return static_cast<float>(k) / n;
    return rBaseOctave + rPeriod * static_cast<float>(k) / n;
}

int InstrumentState::Snapshot::GetFirstIndexBelow(float octave) const
{
    const int n = std::max(GetEnabledDegreeCount(), 1);
    const float periods = std::floor((octave - rBaseOctave) / rPeriod);
    // Held where an index stays a whole int.
    return static_cast<int>(std::clamp(periods - 1.0f, -1000.0f, 1000.0f)) * n;
}

// ---------------------------------------------------------------- publishing

void InstrumentState::Publish()
{
    m_copies[static_cast<size_t>(m_iBack)] = m_edit;
    // Release: the copy is written before the audio thread can take it. Acquire:
    // the audio thread's reads of the copy it gives back are over.
    m_iBack = m_iLatest.exchange(m_iBack | c_iFresh, std::memory_order_acq_rel) & c_iIndexMask;
}

const InstrumentState::Snapshot& InstrumentState::TakeSnapshot()
{
    if (m_iLatest.load(std::memory_order_relaxed) & c_iFresh)
        m_iFront = m_iLatest.exchange(m_iFront, std::memory_order_acq_rel) & c_iIndexMask;
    return m_copies[static_cast<size_t>(m_iFront)];
}
