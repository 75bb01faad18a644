// Base of every audio-rate node of the pull graph. Generate() fills `count`
// samples for the block stamped `start` and returns nonzero, or returns 0 for
// silence (the buffer's contents are then unspecified and must not be read).
#pragma once

class SoundStreamSource
{
  public:
    // A consumer's reference to one channel of a stream source.
    class Connection
    {
      public:
        Connection() = default;
        Connection(SoundStreamSource* source, int channel) : m_pSource(source), m_iChannel(channel)
        {
        }

        int Generate(int start, float* buffer, int count)
        {
            if (!m_pSource)
                return 0;
            return m_pSource->Generate(m_iChannel, start, buffer, count);
        }

        SoundStreamSource* GetSource() const { return m_pSource; }
        int GetChannel() const { return m_iChannel; }

      private:
        SoundStreamSource* m_pSource = nullptr;
        int m_iChannel = 0;
    };

    explicit SoundStreamSource(int numChannels) : m_iNumChannels(numChannels) {}
    virtual ~SoundStreamSource() = default;

    SoundStreamSource(const SoundStreamSource&) = delete;
    SoundStreamSource& operator=(const SoundStreamSource&) = delete;

    virtual int Generate(int channel, int start, float* buffer, int count) = 0;

    int GetNumChannels() const { return m_iNumChannels; }

  protected:
    int m_iNumChannels;
};
