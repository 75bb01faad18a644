// Told of every block the sound manager pulls, on the audio thread, right after
// the graph made it: whatever listens reads what the block's nodes produced.
// Must not allocate, lock, block or touch files.
#pragma once

class SoundBlockListener
{
  public:
    virtual ~SoundBlockListener() = default;
    // The block stamped `stamp`, `count` samples long.
    virtual void BlockPulled(int stamp, int count) = 0;
};
