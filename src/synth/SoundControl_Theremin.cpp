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
    return static_cast<float>(static_cast<double>(Tuning::c_rLowC) *
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
} // namespace

SoundControl_Theremin::SoundControl_Theremin(InstrumentState& state, int maxBlockSamples)
    : SoundControlSource(3, maxBlockSamples), m_state(state)
{
    if (TouchManager* manager = TouchManager::GetInstance())
        manager->AddListener(this);
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
    m_rVelocity.store(c_rTouchVelocity, c_relaxed);
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
    const float minOctave = m_state.GetMinOctave();
    const float maxOctave = m_state.GetMaxOctave();
    m_rTargetFrequency.store(OctaveToFrequency(minOctave + nx * (maxOctave - minOctave)),
                             c_relaxed);
    m_rTargetTimbre.store(1.0f - ny, c_relaxed);
    // Published last: the audio thread never sees an active finger (or a new
    // touch) without its pitch.
    if (began)
        m_bNewTouch.store(true, std::memory_order_release);
    m_bTouchActive.store(true, std::memory_order_release);
}

void SoundControl_Theremin::PlayNote(float hz, float timbre, bool began, float velocity)
{
    m_bNote = true;
    m_iTouchID = -1; // no touch of the touch manager's
    m_rTargetFrequency.store(hz, c_relaxed);
    m_rTargetTimbre.store(std::clamp(timbre, 0.0f, 1.0f), c_relaxed);
    m_rVelocity.store(std::clamp(velocity, 1.0f, 127.0f), c_relaxed);
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
    const float octave = std::log2(m_rTargetFrequency.load(c_relaxed) / Tuning::c_rLowC);
    const float x = m_state.OctaveToTouch(octave);
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
    else if (channel == 2)
        buffer->AddValue(m_blockFinger.rVelocity, count); // held until the next note
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
    m_blockFinger.rVelocity = m_rVelocity.load(c_relaxed);
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
    // One whole set of tables for the block, however the main thread changes them.
    const InstrumentState::Snapshot& tables = m_state.TakeSnapshot();
    const float target = finger.rFrequency;
    const float speed = finger.bExact ? 0.0f : tables.rAutotuneSpeed;
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

    const float octave = std::log2(target / Tuning::c_rLowC);
    if (speed == 1.0f || startsHere || !(m_rFrequency > 0.0f))
    {
        // Snap jumps between notes at block boundaries; a gentle mode starts a
        // new finger exactly on the nearest enabled note.
        const float tuned =
            speed == 1.0f ? tables.SnapOctave(octave) : tables.AssistedOctave(octave);
        m_rCorrection = tuned - octave;
        m_rFrequency = target;
        m_rCorrectionOctave = octave;
        buffer->AddValue(OctaveToFrequency(tuned), count);
    }
    else
    {
        GenerateGentle(buffer, count, octave, finger.rX, tables);
    }
    m_rLastRawOctave = octave;
    m_bPitchWasActive = true;
}

void SoundControl_Theremin::GenerateGentle(SoundControlBuffer* buffer, int count, float octave,
                                           float x, const InstrumentState::Snapshot& tables)
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
            m_iCorrectionRemaining = tables.iCorrectionSamples;
        m_bCorrecting = true;
    }

    const GlideRuns glide(count);
    const float runs = static_cast<float>(glide.runs);
    float current =
        std::log2(m_rFrequency / Tuning::c_rLowC); // glided raw octave at the block start
    const float rawStep = (octave - current) / runs;
    float correctionStep = 0.0f;
    if (m_bCorrecting)
    {
        // Linear toward the nearest enabled note, arriving after the
        // correction time (the divisor is whole blocks left, rounded down).
        const float aim = tables.AssistedOctave(octave) - octave;
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
