// Band-limited sawtooth read from a shared wavetable: the table holds the
// running sum of one band-limited period, and playback differentiates it, so
// each sample is the saw's average over the stretch of period it covers. The
// table is harmonics 1 to 1023 of a falling ramp at 0.7: data/blsaw.dat, as
// tools/make_blsaw computes it, whose bytes the program hands in before it
// builds the synth; computed here when they are missing or damaged.
#pragma once

#include "dsp/SoundManager.h"
#include "dsp/SoundStreamSource.h"

#include <atomic>
#include <cstddef>
#include <mutex>

class SoundControlSource;

class SoundSource_BLSaw : public SoundStreamSource
{
  public:
    static constexpr float c_rBufferSize = 2048.0f; // table period in entries
    static constexpr int c_iTableSize = 2048;
    static constexpr int c_iTableEntries = c_iTableSize + 1; // plus one guard entry
    static constexpr int c_iFileBytes = c_iTableSize * 4;    // little-endian floats
    static constexpr const char* c_sFileName = "data/blsaw.dat";
    // The running sum of one period of a saw that stays within +-2 (this one
    // peaks near +-1.3, and its sum near 560) never leaves +-4096: a file
    // holding anything larger is not a saw table.
    static constexpr float c_rMaxTableValue = 4096.0f;
    // The saw's RMS is 0.7 pi / sqrt(12), about 0.635; a table whose steps
    // (the saw it plays) have less than half of that is not a saw table.
    static constexpr double c_rMinStepRms = 0.32;

    // `sampleRate`: Hz of the stream this saw plays into.
    explicit SoundSource_BLSaw(float sampleRate = SoundManager::c_rSampleRate);

    void SetPitchSource(SoundControlSource* source, int channel);

    int Generate(int channel, int start, float* buffer, int count) override;

    // Builds the shared table from the bytes of c_sFileName (null or empty
    // when it could not be read), or computes it when they are not a table.
    // Only the first build counts: once the table exists (made by an earlier
    // call or by the first oscillator), this changes nothing. Any thread.
    static void LoadTable(const unsigned char* bytes, size_t size);
    // The shared table; computed on the first call if LoadTable never ran.
    static float* GenerateSampleBuffer();

    // Computes the table into `table` (c_iTableEntries floats).
    static void ComputeSampleBuffer(float* table);
    // Reads a file's bytes into `table`, guard entry included; false when they
    // are fewer than one period or hold a value that is not a number or beyond
    // c_rMaxTableValue, or steps quieter than c_rMinStepRms (bytes past one
    // period are ignored).
    static bool LoadSampleBuffer(const unsigned char* bytes, size_t size, float* table);
    // LoadSampleBuffer, falling back to ComputeSampleBuffer.
    static void BuildSampleBuffer(const unsigned char* bytes, size_t size, float* table);

  private:
    void RenderRun(float frequency, float* out, int n);

    static float m_rSampleBuffer[c_iTableEntries];
    static std::once_flag s_sampleBufferBuilt;

    float m_rSampleRate;
    float m_rPhase = 0.0f;
    float m_rLastValue = 0.0f;
    SoundControlSource* m_pPitchSource = nullptr;
    int m_iPitchChannel = 0;
    bool m_bSilent = true;
    float m_rLastFrequency = 0.0f;
};
