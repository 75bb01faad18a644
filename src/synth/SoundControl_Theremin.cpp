#include "synth/SoundControl_Theremin.h"

#include "formats/Tuning.h"
#include "input/TouchManager.h"
#include "render/Camera_2D.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace
{
constexpr auto c_relaxed = std::memory_order_relaxed;

// Octave o above the low C, in hertz.
float OctaveToFrequency(float octave)
{
    return static_cast<float>(static_cast<double>(SoundControl_Theremin::c_rLowC) *
                              std::pow(2.0, static_cast<double>(octave)));
}

// A block cut into glide runs of 30 samples and a remainder. A block shorter
// than one run is a single run that reaches the target at once.
struct GlideRuns
{
    explicit GlideRuns(int count)
    {
        const int steps = count / SoundControl_Theremin::c_iGlideRun;
        runs = steps > 0 ? steps : 1;
        length = steps > 0 ? SoundControl_Theremin::c_iGlideRun : count;
        remainder = count - runs * length;
    }
    int runs;
    int length;
    int remainder;
};

// Index of v in [0, 1) cut into n bins; v that rounds up to 1.0 lands in the last.
int BinIndex(float fraction, int n)
{
    const float scaled = fraction * static_cast<float>(n);
    if (!(scaled >= 0.0f))
        return 0;
    return std::min(static_cast<int>(scaled), n - 1);
}

// Starts as ToggleNote's rebuild leaves it with all twelve classes enabled.
constexpr float c_rAssistStart[24] = {0, 1, 1, 2, 2, 3, 3, 4,  4,  5,  5,  6,
                                      6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12};
} // namespace

std::atomic<int> SoundControl_Theremin::c_iCorrectionSamples{4096};
std::atomic<float> SoundControl_Theremin::m_rMinOctave{-1.125f};
std::atomic<float> SoundControl_Theremin::m_rMaxOctave{4.125f};
std::atomic<float> SoundControl_Theremin::m_rRangeZoom{0.0f};
std::atomic<float> SoundControl_Theremin::m_rRangePitch{0.0f};
std::atomic<float> SoundControl_Theremin::s_rAutotuneSpeed{0.0f};
std::atomic<bool> SoundControl_Theremin::s_bNoteEnabled[12] = {true, true, true, true, true, true,
                                                               true, true, true, true, true, true};
std::atomic<int> SoundControl_Theremin::s_iNotesEnabled{12};
std::atomic<float> SoundControl_Theremin::s_rNoteTable_Snap[12] = {0, 1, 2, 3, 4,  5,
                                                                   6, 7, 8, 9, 10, 11};
std::atomic<float> SoundControl_Theremin::s_rNoteTable_Assist[24] = {
    0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12};
bool SoundControl_Theremin::m_bInitialised = false;
std::atomic<bool> SoundControl_Theremin::s_bTuned{false};
std::atomic<int> SoundControl_Theremin::s_iDegrees{12};
std::atomic<float> SoundControl_Theremin::s_rPeriod{1.0f};
std::atomic<float> SoundControl_Theremin::s_rBaseOctave{0.0f};
std::atomic<float> SoundControl_Theremin::s_rDegreeOctave[c_iMaxDegrees] = {};
std::atomic<int> SoundControl_Theremin::s_iDegreesEnabled{0};
std::atomic<float> SoundControl_Theremin::s_rDegreeTable[c_iMaxDegrees] = {};
static_assert(SoundControl_Theremin::c_iMaxDegrees == Tuning::c_iMaxDegrees);

SoundControl_Theremin::SoundControl_Theremin(int maxBlockSamples)
    : SoundControlSource(2, maxBlockSamples)
{
    if (TouchManager* manager = TouchManager::GetInstance())
        manager->AddListener(this);
    if (!m_bInitialised)
    {
        SetPitchScale(c_rPitchSliderZero);
        m_bInitialised = true;
    }
}

SoundControl_Theremin::~SoundControl_Theremin()
{
    if (TouchManager* manager = TouchManager::GetInstance())
        manager->RemoveListener(this);
}

// ---------------------------------------------------------------- touches

bool SoundControl_Theremin::TouchGetBid(int x, int y, float& bid)
{
    (void)x;
    (void)y;
    if (IsTouchActive())
        return false;
    // Below every widget, so the surface only gets what nothing else wants.
    bid = -1000.0f;
    return true;
}

void SoundControl_Theremin::TouchBegan(int id, int x, int y)
{
    m_bNote = false;
    m_bExact.store(false, c_relaxed);
    m_iTouchID = id;
    Place(x, y, true);
}

void SoundControl_Theremin::TouchMoved(int id, int x, int y, int prevX, int prevY)
{
    (void)prevX;
    (void)prevY;
    // A touch given up by sliding out stays owned in the touch manager: its
    // moves must not steer the finger that took this voice since.
    if (id != m_iTouchID || !IsTouchActive())
        return;
    Place(x, y, false);
}

void SoundControl_Theremin::TouchEnded(int id, int x, int y, int prevX, int prevY)
{
    (void)x;
    (void)y;
    (void)prevX;
    (void)prevY;
    if (id != m_iTouchID)
        return;
    m_bTouchActive.store(false, c_relaxed);
}

void SoundControl_Theremin::UpdateTouchPosition()
{
    if (m_bNote)
    {
        ShowNote();
        return;
    }
    if (!IsTouchActive())
        return;
    int x = 0, y = 0;
    TouchManager* manager = TouchManager::GetInstance();
    if (manager && manager->GetTouchPosition(m_iTouchID, x, y))
        TouchMoved(m_iTouchID, x, y, x, y);
    else
        m_bTouchActive.store(false, c_relaxed);
}

void SoundControl_Theremin::Place(int x, int y, bool began)
{
    if (!m_pCamera)
    {
        // No playing area yet: nothing to play.
        m_bTouchActive.store(false, c_relaxed);
        return;
    }
    const Vector2f& vmin = m_pCamera->GetViewportMin();
    const Vector2f& vmax = m_pCamera->GetViewportMax();
    const float nx = (static_cast<float>(x) - vmin.x) / (vmax.x - vmin.x);
    const float ny = (static_cast<float>(y) - vmin.y) / (vmax.y - vmin.y);
    m_rX.store(nx, c_relaxed);
    m_rY.store(ny, c_relaxed);
    // Written to fail for NaN too (an empty viewport).
    if (!(nx >= 0.0f && nx <= 1.0f && ny >= 0.0f && ny <= 1.0f))
    {
        m_bTouchActive.store(false, c_relaxed);
        return;
    }
    const float minOctave = GetMinOctave();
    const float maxOctave = GetMaxOctave();
    m_rTargetFrequency.store(OctaveToFrequency(minOctave + nx * (maxOctave - minOctave)),
                             c_relaxed);
    m_rTargetTimbre.store(1.0f - ny, c_relaxed);
    // Published last: the audio thread never sees an active finger (or a new
    // touch) without its pitch.
    if (began)
        m_bNewTouch.store(true, std::memory_order_release);
    m_bTouchActive.store(true, std::memory_order_release);
}

void SoundControl_Theremin::PlayNote(float hz, float timbre, bool began)
{
    m_bNote = true;
    m_iTouchID = -1; // no touch of the touch manager's
    m_rTargetFrequency.store(hz, c_relaxed);
    m_rTargetTimbre.store(std::clamp(timbre, 0.0f, 1.0f), c_relaxed);
    ShowNote();
    m_bExact.store(true, c_relaxed);
    // Published last, as for a finger.
    if (began)
        m_bNewTouch.store(true, std::memory_order_release);
    m_bTouchActive.store(true, std::memory_order_release);
}

void SoundControl_Theremin::EndNote()
{
    if (!m_bNote)
        return;
    m_bNote = false;
    m_bTouchActive.store(false, c_relaxed);
}

void SoundControl_Theremin::ShowNote()
{
    const float octave = std::log2(m_rTargetFrequency.load(c_relaxed) / c_rLowC);
    const float x = OctaveToTouch(octave);
    m_rX.store(x >= 0.0f ? std::min(x, 1.0f) : 0.0f, c_relaxed); // NaN to the left edge
    m_rY.store(1.0f - m_rTargetTimbre.load(c_relaxed), c_relaxed);
}

// ---------------------------------------------------------------- audio

void SoundControl_Theremin::Generate(int channel, int start, SoundControlBuffer* buffer, int count)
{
    TakeFinger(start);
    if (channel == 0)
        GeneratePitch(buffer, count);
    else if (channel == 1)
        GenerateTimbre(buffer, count);
}

void SoundControl_Theremin::TakeFinger(int start)
{
    if (start == m_iFingerStamp)
        return;
    m_iFingerStamp = start;
    // A touch that landed since the last block sounds in this one, even if it
    // has already lifted: no press is too short to be heard.
    const bool newTouch = m_bNewTouch.exchange(false, std::memory_order_acquire);
    const bool active = m_bTouchActive.load(std::memory_order_acquire);
    m_blockFinger.bActive = active || newTouch;
    m_blockFinger.bNewTouch = newTouch;
    m_blockFinger.bExact = m_bExact.load(c_relaxed);
    m_blockFinger.rFrequency = m_rTargetFrequency.load(c_relaxed);
    m_blockFinger.rTimbre = m_rTargetTimbre.load(c_relaxed);
    m_blockFinger.rX = m_rX.load(c_relaxed);
}

void SoundControl_Theremin::GeneratePitch(SoundControlBuffer* buffer, int count)
{
    const Finger& finger = m_blockFinger;
    if (!finger.bActive)
    {
        buffer->AddValue(0.0f, count);
        m_bPitchWasActive = false;
        return;
    }
    const float target = finger.rFrequency;
    const float speed = finger.bExact ? 0.0f : s_rAutotuneSpeed.load(c_relaxed);
    const bool startsHere = finger.bNewTouch || !m_bPitchWasActive;

    if (speed == 0.0f)
    {
        if (target == m_rFrequency || startsHere)
        {
            // A new finger starts on its pitch without a slide.
            m_rFrequency = target;
            buffer->AddValue(target, count);
        }
        else
        {
            // Linear in hertz over the block.
            const GlideRuns glide(count);
            const float step = (target - m_rFrequency) / static_cast<float>(glide.runs);
            for (int i = 0; i < glide.runs; ++i)
            {
                m_rFrequency += step;
                buffer->AddValue(m_rFrequency, glide.length);
            }
            buffer->AddValue(m_rFrequency, glide.remainder);
        }
        m_bPitchWasActive = true;
        return;
    }

    const float octave = std::log2(target / c_rLowC);
    if (speed == 1.0f || startsHere || !(m_rFrequency > 0.0f))
    {
        // Snap jumps between notes at block boundaries; a gentle mode starts a
        // new finger exactly on the nearest enabled note.
        const float tuned = speed == 1.0f ? SnapOctave(octave) : AssistedOctave(octave);
        m_rCorrection = tuned - octave;
        m_rFrequency = target;
        m_rCorrectionOctave = octave;
        buffer->AddValue(OctaveToFrequency(tuned), count);
    }
    else
    {
        GenerateGentle(buffer, count, octave, finger.rX);
    }
    m_rLastRawOctave = octave;
    m_bPitchWasActive = true;
}

void SoundControl_Theremin::GenerateGentle(SoundControlBuffer* buffer, int count, float octave,
                                           float x)
{
    // Stillness: a move of more than 1/960 of the width restarts the count.
    const float d = m_rHoldX - x;
    if (d >= c_rStillTolerance || d <= -c_rStillTolerance)
    {
        m_rHoldX = x;
        m_iHoldSamples = 0;
    }
    else
    {
        m_iHoldSamples = m_iHoldSamples > INT_MAX - count ? INT_MAX : m_iHoldSamples + count;
    }
    if (m_iHoldSamples < c_iStillSamples)
    {
        m_bCorrecting = false;
    }
    else
    {
        if (!m_bCorrecting)
            m_iCorrectionRemaining = c_iCorrectionSamples.load(c_relaxed);
        m_bCorrecting = true;
    }

    const GlideRuns glide(count);
    const float runs = static_cast<float>(glide.runs);
    float current = std::log2(m_rFrequency / c_rLowC); // glided raw octave at the block start
    const float rawStep = (octave - current) / runs;
    float correctionStep = 0.0f;
    if (m_bCorrecting)
    {
        // Linear toward the nearest enabled note, arriving after the
        // correction time (the divisor is whole blocks left, rounded down).
        const float aim = AssistedOctave(octave) - octave;
        correctionStep = (aim - m_rCorrection) / runs;
        if (count < m_iCorrectionRemaining)
        {
            correctionStep /= static_cast<float>(m_iCorrectionRemaining / count);
            m_iCorrectionRemaining -= count;
        }
        else
        {
            m_iCorrectionRemaining = 0;
        }
        m_rCorrectionOctave = octave;
    }
    else if (std::fabs(m_rCorrectionOctave - current) > 0.25f)
    {
        // Moving away from where it was corrected: release the correction by up
        // to 70 % per block, faster for a faster slide.
        const float moved = std::min(std::fabs(m_rLastRawOctave - octave), 1.0f / 3.0f);
        correctionStep = -0.7f * (moved * 3.0f) * m_rCorrection / runs;
    }

    for (int i = 0; i < glide.runs; ++i)
    {
        m_rCorrection += correctionStep;
        current += rawStep;
        buffer->AddValue(OctaveToFrequency(current + m_rCorrection), glide.length);
    }
    buffer->AddValue(OctaveToFrequency(current + m_rCorrection), glide.remainder);
    m_rFrequency = OctaveToFrequency(current);
}

void SoundControl_Theremin::GenerateTimbre(SoundControlBuffer* buffer, int count)
{
    const Finger& finger = m_blockFinger;
    const bool active = finger.bActive;
    const float target = finger.rTimbre;
    if (!active || target == m_rTimbre || finger.bNewTouch || !m_bTimbreWasActive)
    {
        buffer->AddValue(active ? target : 0.0f, count);
    }
    else
    {
        const GlideRuns glide(count);
        const float step = (target - m_rTimbre) / static_cast<float>(glide.runs);
        // Repeated float steps may overshoot the target by an ulp: keep every
        // run between where the glide starts and where it ends, inside [0, 1].
        const float low = std::min(m_rTimbre, target);
        const float high = std::max(m_rTimbre, target);
        for (int i = 0; i < glide.runs; ++i)
        {
            m_rTimbre = std::clamp(m_rTimbre + step, low, high);
            buffer->AddValue(m_rTimbre, glide.length);
        }
        buffer->AddValue(target, glide.remainder);
    }
    m_rTimbre = target;
    m_bTimbreWasActive = active;
}

// ---------------------------------------------------------------- window

float SoundControl_Theremin::ZoneCount()
{
    return static_cast<float>(s_rAutotuneSpeed.load(c_relaxed) >= 1.0f ? GetEnabledDegreeCount()
                                                                       : GetDegreeCount());
}

float SoundControl_Theremin::WindowWidth(float zoom)
{
    // At full zoom one period plus 0.99 of a note zone, so each zone's centre fits.
    const float n = ZoneCount();
    return (1.0f - zoom) * c_rOrigRange + zoom * s_rPeriod.load(c_relaxed) * (n + 0.99f) / n;
}

void SoundControl_Theremin::UpdateRange()
{
    const float slack = c_rFullRange - WindowWidth(GetPitchZoom());
    const float pitch = GetPitchScale();
    m_rMinOctave.store(c_rFullMin + slack * pitch, c_relaxed);
    m_rMaxOctave.store(c_rFullMax - slack * (1.0f - pitch), c_relaxed);
}

void SoundControl_Theremin::SetPitchZoom(float z)
{
    m_rRangeZoom.store(z, c_relaxed);
    UpdateRange();
}

void SoundControl_Theremin::SetPitchScale(float p)
{
    if (GetPitchZoom() < 1.0f)
    {
        m_rRangePitch.store(p, c_relaxed);
        UpdateRange();
        return;
    }
    // At full zoom the slider steps the window by one note zone, keeping its
    // lower edge half a zone below a zone centre.
    const float n = ZoneCount();
    const float period = s_rPeriod.load(c_relaxed);
    const float base = s_rBaseOctave.load(c_relaxed);
    // After a step the edge is (j + 0.5) / n periods above the base, so this
    // lands on the whole number j + 1 up to rounding; snap to it so that
    // rounding cannot truncate to j (which would make a step do nothing or jump
    // two zones).
    float zone = 0.5f + n * ((GetMinOctave() - base) / period);
    const float whole = std::nearbyint(zone);
    if (std::fabs(zone - whole) < 1e-3f)
        zone = whole;
    const int k = static_cast<int>(zone);
    const float current = GetPitchScale();
    if (p < current)
        SetMinOctave((static_cast<float>(k) - 1.5f) / n * period + base);
    else if (p > current)
        SetMinOctave((static_cast<float>(k) + 0.5f) / n * period + base);
}

void SoundControl_Theremin::SetWindow(float pitch, float zoom)
{
    m_rRangeZoom.store(zoom, c_relaxed);
    m_rRangePitch.store(pitch, c_relaxed);
    UpdateRange();
}

void SoundControl_Theremin::SetMinOctave(float o)
{
    const float width = WindowWidth(GetPitchZoom());
    const float f = (o - c_rFullMin) / (c_rFullRange - width);
    if (f > 1.0f)
    {
        m_rRangePitch.store(1.0f, c_relaxed);
        UpdateRange();
    }
    else if (f < 0.0f)
    {
        m_rRangePitch.store(0.0f, c_relaxed);
        UpdateRange();
    }
    else
    {
        m_rMinOctave.store(o, c_relaxed);
        m_rMaxOctave.store(o + width, c_relaxed);
        m_rRangePitch.store(f, c_relaxed);
    }
}

float SoundControl_Theremin::OctaveToTouch(float o)
{
    const float minOctave = GetMinOctave();
    return (o - minOctave) / (GetMaxOctave() - minOctave);
}

// ---------------------------------------------------------------- autotune

void SoundControl_Theremin::SetAutotuneSamples(int samples, bool enabled)
{
    if (!enabled)
    {
        c_iCorrectionSamples.store(0, c_relaxed);
        s_rAutotuneSpeed.store(0.0f, c_relaxed);
        return;
    }
    const float speed =
        samples == 0 ? 1.0f : static_cast<float>(1.0 + static_cast<double>(samples) / -10000.0);
    c_iCorrectionSamples.store(samples, c_relaxed);
    s_rAutotuneSpeed.store(speed, c_relaxed);
}

bool SoundControl_Theremin::IsAutotuneEnabled_Snap()
{
    return s_rAutotuneSpeed.load(c_relaxed) == 1.0f;
}

// ---------------------------------------------------------------- note set

void SoundControl_Theremin::ToggleNote(int note)
{
    if (note < 0 || note > 11 || note >= GetDegreeCount())
        return;
    if (GetEnabledDegreeCount() == 1 && IsNoteEnabled(note))
        return; // the last enabled note stays on
    s_bNoteEnabled[note].store(!s_bNoteEnabled[note].load(c_relaxed), c_relaxed);
    RebuildNoteTables();
    if (IsTuned())
        RebuildDegreeTable();
}

void SoundControl_Theremin::RebuildNoteTables()
{
    int count = 0;
    for (int i = 0; i < 12; ++i)
    {
        if (s_bNoteEnabled[i].load(c_relaxed))
            s_rNoteTable_Snap[count++].store(static_cast<float>(i), c_relaxed);
    }
    s_iNotesEnabled.store(count, c_relaxed);
    for (int m = 0; m < 24; ++m)
        s_rNoteTable_Assist[m].store(NearestEnabledNote(0.25f + 0.5f * static_cast<float>(m)),
                                     c_relaxed);
}

bool SoundControl_Theremin::IsNoteEnabled(int note)
{
    return note >= 0 && note < 12 && note < GetDegreeCount() &&
           s_bNoteEnabled[note].load(c_relaxed);
}

float SoundControl_Theremin::NearestEnabledNote(float semitone)
{
    const float rounded = semitone + 0.5f;
    const int i = rounded >= 12.0f ? 12 : (rounded >= 0.0f ? static_cast<int>(rounded) : 0);
    if (s_bNoteEnabled[i % 12].load(c_relaxed))
        return static_cast<float>(i);
    int up = 11;
    for (int d = 1; d <= 11; ++d)
    {
        if (s_bNoteEnabled[(i + d) % 12].load(c_relaxed))
        {
            up = i + d;
            break;
        }
    }
    int down = -1;
    for (int d = 11; d >= 1; --d)
    {
        if (s_bNoteEnabled[(i + d) % 12].load(c_relaxed))
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

float SoundControl_Theremin::OctaveToNearestEnabledNote_Snap(float octave)
{
    const int n = std::clamp(s_iNotesEnabled.load(c_relaxed), 1, 12);
    const float u = octave + 0.5f / static_cast<float>(n);
    const float whole = std::floor(u);
    const int zone = BinIndex(u - whole, n);
    return s_rNoteTable_Snap[zone].load(c_relaxed) + whole * 12.0f;
}

float SoundControl_Theremin::AssistedOctave(float octave)
{
    if (IsTuned())
    {
        // The nearest enabled degree, the neighbouring periods' included; ties go down.
        const int n = std::clamp(s_iDegreesEnabled.load(c_relaxed), 1, c_iMaxDegrees);
        const float period = s_rPeriod.load(c_relaxed);
        const float base = s_rBaseOctave.load(c_relaxed);
        const float periods = std::floor((octave - base) / period);
        const float within = octave - base - periods * period;
        // The first enabled degree above the finger, by bisection of the sorted table:
        // the nearest is it or the one before (the neighbouring periods' at the ends).
        int above = 0;
        for (int count = n; count > 0;)
        {
            const int half = count / 2;
            if (s_rDegreeTable[above + half].load(c_relaxed) <= within)
            {
                above += half + 1;
                count -= half + 1;
            }
            else
            {
                count = half;
            }
        }
        const float lower = above > 0 ? s_rDegreeTable[above - 1].load(c_relaxed)
                                      : s_rDegreeTable[n - 1].load(c_relaxed) - period;
        const float upper = above < n ? s_rDegreeTable[above].load(c_relaxed)
                                      : s_rDegreeTable[0].load(c_relaxed) + period;
        const float best = upper - within < within - lower ? upper : lower; // ties go down
        return base + periods * period + best;
    }
    const float whole = std::floor(octave);
    const int bin = BinIndex(octave - whole, 24);
    return (s_rNoteTable_Assist[bin].load(c_relaxed) + whole * 12.0f) / 12.0f;
}

float SoundControl_Theremin::GetEnabledNoteValue(int index)
{
    const int n = std::clamp(s_iNotesEnabled.load(c_relaxed), 1, 12);
    // Octaves counted downwards below the first note, so any index is valid.
    const int q = Tuning::FloorDivide(index, n);
    return s_rNoteTable_Snap[index - q * n].load(c_relaxed) + static_cast<float>(q * 12);
}

float SoundControl_Theremin::SnapOctave(float octave)
{
    if (!IsTuned())
        return OctaveToNearestEnabledNote_Snap(octave) / 12.0f;
    // The period cut into equal zones, one per enabled degree, in their order.
    const int n = std::clamp(s_iDegreesEnabled.load(c_relaxed), 1, c_iMaxDegrees);
    const float period = s_rPeriod.load(c_relaxed);
    const float base = s_rBaseOctave.load(c_relaxed);
    const float u = (octave - base) / period + 0.5f / static_cast<float>(n);
    const float whole = std::floor(u);
    return base + whole * period + s_rDegreeTable[BinIndex(u - whole, n)].load(c_relaxed);
}

// ---------------------------------------------------------------- scales

void SoundControl_Theremin::SetTuning(const Tuning* tuning)
{
    if (!tuning || tuning->IsTwelveEqualOnC())
    {
        // The twelve notes on C, played exactly as without a scale.
        s_bTuned.store(false, c_relaxed);
        s_iDegrees.store(12, c_relaxed);
        s_rPeriod.store(1.0f, c_relaxed);
        s_rBaseOctave.store(0.0f, c_relaxed);
        return;
    }
    const int n = std::min(tuning->GetDegreeCount(), c_iMaxDegrees);
    const double period = tuning->GetPeriodOctaves();
    // Only where degree 0 lies within a period matters.
    const double base = std::log2(tuning->GetBaseHz() / static_cast<double>(c_rLowC));
    s_rPeriod.store(static_cast<float>(period), c_relaxed);
    s_rBaseOctave.store(static_cast<float>(base - period * std::floor(base / period)), c_relaxed);
    for (int i = 0; i < n; ++i)
        s_rDegreeOctave[i].store(static_cast<float>(tuning->GetDegreeOctaves(i)), c_relaxed);
    s_iDegrees.store(n, c_relaxed);
    RebuildDegreeTable();
    s_bTuned.store(true, c_relaxed);
    UpdateRange(); // the window's zones are the scale's now
}

void SoundControl_Theremin::RebuildDegreeTable()
{
    const int n = GetDegreeCount();
    int count = 0;
    for (int i = 0; i < n; ++i)
    {
        if (i >= 12 || s_bNoteEnabled[i].load(c_relaxed))
            s_rDegreeTable[count++].store(s_rDegreeOctave[i].load(c_relaxed), c_relaxed);
    }
    if (count == 0)
    {
        // The keys that were on are all past this scale's degrees: degree 0 plays.
        s_bNoteEnabled[0].store(true, c_relaxed);
        s_rDegreeTable[count++].store(0.0f, c_relaxed);
        RebuildNoteTables();
    }
    s_iDegreesEnabled.store(count, c_relaxed);
}

int SoundControl_Theremin::GetEnabledDegreeCount()
{
    return IsTuned() ? s_iDegreesEnabled.load(c_relaxed) : s_iNotesEnabled.load(c_relaxed);
}

float SoundControl_Theremin::GetEnabledNoteOctave(int index)
{
    if (!IsTuned())
        return GetEnabledNoteValue(index) / 12.0f;
    const int n = std::clamp(s_iDegreesEnabled.load(c_relaxed), 1, c_iMaxDegrees);
    const int q = Tuning::FloorDivide(index, n);
    return s_rBaseOctave.load(c_relaxed) + static_cast<float>(q) * s_rPeriod.load(c_relaxed) +
           s_rDegreeTable[index - q * n].load(c_relaxed);
}

float SoundControl_Theremin::GetSnapZoneOctave(int k)
{
    const float n = static_cast<float>(std::max(GetEnabledDegreeCount(), 1));
    if (!IsTuned())
        return static_cast<float>(k) / n;
    return s_rBaseOctave.load(c_relaxed) + s_rPeriod.load(c_relaxed) * static_cast<float>(k) / n;
}

int SoundControl_Theremin::GetFirstIndexBelow(float octave)
{
    const int n = std::max(GetEnabledDegreeCount(), 1);
    const float periods =
        std::floor((octave - s_rBaseOctave.load(c_relaxed)) / s_rPeriod.load(c_relaxed));
    // Held where an index stays a whole int.
    return static_cast<int>(std::clamp(periods - 1.0f, -1000.0f, 1000.0f)) * n;
}

// ---------------------------------------------------------------- settings

void SoundControl_Theremin::ResetSettings()
{
    c_iCorrectionSamples.store(4096, c_relaxed);
    m_rMinOctave.store(-1.125f, c_relaxed);
    m_rMaxOctave.store(4.125f, c_relaxed);
    m_rRangeZoom.store(0.0f, c_relaxed);
    m_rRangePitch.store(0.0f, c_relaxed);
    s_rAutotuneSpeed.store(0.0f, c_relaxed);
    for (int i = 0; i < 12; ++i)
    {
        s_bNoteEnabled[i].store(true, c_relaxed);
        s_rNoteTable_Snap[i].store(static_cast<float>(i), c_relaxed);
    }
    s_iNotesEnabled.store(12, c_relaxed);
    for (int m = 0; m < 24; ++m)
        s_rNoteTable_Assist[m].store(c_rAssistStart[m], c_relaxed);
    m_bInitialised = false;
    SetTuning(nullptr);
}
