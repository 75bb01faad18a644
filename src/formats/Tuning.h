// A scale the instrument can be tuned to: the pitches of its degrees above
// degree 0, the last of which is the period the scale repeats at (an octave,
// a tritave, ...), the frequency of degree 0, and which key (MIDI note) plays
// which degree. Without one, the instrument plays twelve equal notes a
// semitone apart with C as degree 0, and key 60 on middle C.
#pragma once

#include <string>
#include <utility>
#include <vector>

class Tuning
{
  public:
    // The instrument's octave 0, the C two octaves below middle C (55 x 2^(1/4)):
    // degree 0 of its own tuning, and where every pitch is counted in octaves from.
    static constexpr float c_rLowC = 65.406395f; // Hz
    static constexpr int c_iMaxDegrees = 1024;   // degrees per period
    static constexpr double c_rMinBaseHz = 1.0;
    static constexpr double c_rMaxBaseHz = 20000.0;
    static constexpr int c_iMiddleKey = 60;             // middle C's MIDI note
    static constexpr double c_rMiddleC = 261.625565301; // Hz, A = 440

    // How keys play the scale, as a Scala keyboard mapping says: the middle key
    // plays degree 0 at rMiddleHz; the map gives the degree of each key from the
    // middle key on (-1: the key plays nothing) and repeats every map size keys,
    // each repeat iOctaveDegree degrees higher (0: the scale's count). An empty
    // map is one degree a key.
    struct KeyMap
    {
        int iMiddleKey = c_iMiddleKey;
        double rMiddleHz = c_rMiddleC;
        std::vector<int> degrees;
        int iOctaveDegree = 0;
    };

    // Twelve equal notes on the low C.
    Tuning();
    // `cents`: degrees 1 .. n above degree 0, ascending, the last the period;
    // `baseHz`: the frequency of degree 0.
    Tuning(std::string description, std::vector<double> cents, double baseHz);

    const std::string& GetDescription() const { return m_sDescription; }
    int GetDegreeCount() const { return static_cast<int>(m_cents.size()); }
    double GetPeriodOctaves() const { return m_cents.back() / 1200.0; }
    double GetBaseHz() const { return m_rBaseHz; }
    void SetBaseHz(double hz) { m_rBaseHz = hz; }
    // Octaves of any degree above degree 0; degrees past the count and below 0
    // lie in the periods above and below.
    double GetDegreeOctaves(int degree) const;
    // a / n rounded down (toward minus infinity), n > 0: the period a degree
    // lies in, counting periods below the first as negative.
    static constexpr int FloorDivide(int a, int n) { return a >= 0 ? a / n : -((-a + n - 1) / n); }

    // Twelve equal semitones repeating at the octave with degree 0 on a C: the
    // instrument's own tuning, played exactly as without a scale.
    bool IsTwelveEqualOnC() const;

    // Keys: one degree a key from key 60 (on middle C) until a map is set.
    void SetKeyMap(KeyMap keys) { m_keys = std::move(keys); }
    // The degree `key` plays through `keys` (any key number, counted from the
    // middle key); false when the map leaves it out.
    bool KeyDegree(const KeyMap& keys, int key, int& degree) const;
    // The frequency `key` sounds; false when it plays nothing (unmapped, or out
    // of any sound a number holds).
    bool KeyFrequency(int key, double& hz) const;

  private:
    std::string m_sDescription;
    std::vector<double> m_cents;
    double m_rBaseHz;
    KeyMap m_keys;
};
