// The browser host: registers the web platform's window, renderer and sound
// with the instrument, and runs it either headless (a script played offline,
// sample-exact, as the desktop's --headless does) or live on the page, driven
// by the browser's animation frames. The page reaches it through the C
// functions WebHost.cpp exports.
#pragma once

#include "formats/Tuning.h"

#include <cstdint>
#include <string>
#include <vector>

class ZindleApp;

class WebHost
{
  public:
    static constexpr double c_rFrameInterval = 0.05; // 20 frames per second, as on the desktop
    static constexpr int c_iHeadlessBlock = 1024;    // samples per pull, the desktop's default

    // A frame a script's shot kept: RGBA, top row first.
    struct Shot
    {
        std::string sName;
        int iWidth = 0;
        int iHeight = 0;
        std::vector<uint8_t> rgba;
    };

    struct Options
    {
        bool bHeadless = false;
        std::string sScript;    // a script file in the page's file system
        uint32_t iSeed = 0;     // 0: the clock's
        double rSeconds = -1.0; // below zero: as long as the script
        double rScale = 1.0;    // headless: the frame's pixels a point (1: 480 x 320)
        std::string sSettings;  // the settings text kept by the browser, or empty
        std::string sTuning;    // a Scala scale picked by the user, or empty
        std::string sKeymap;    // its keyboard mapping, or empty
    };

    static void InstallPlatform();
    // Loads the tuning the options name (twelve equal notes without one);
    // false with the reason in `error`.
    static bool LoadTuning(const Options& options, std::string& error);

    // The whole performance, synchronously: the WAV and the last frame are
    // left for the page. Returns the exit status the desktop would give.
    static int RunHeadless(const Options& options);
    // Starts the instrument on the page; frames then come from Frame().
    static bool StartLive(const Options& options);
    // One animation frame of the live page: runs the instrument's frame when due.
    static void Frame();

    // What a headless run left: a 16-bit mono 44.1 kHz WAV file, and the
    // last frame as RGBA, top row first (480 x 320 at scale 1).
    static const std::vector<uint8_t>& GetWav() { return s_wav; }
    static const std::vector<uint8_t>& GetFrame() { return s_frame; }
    static int GetFrameWidth() { return s_iFrameWidth; }
    // The shots of the last headless run, in the script's order.
    static const std::vector<Shot>& GetShots() { return s_shots; }
    static void AddShot(Shot shot) { s_shots.push_back(std::move(shot)); }
    static int GetFrameHeight() { return s_iFrameHeight; }
    // The pixels a point the view is made with: the headless run's, or 0 for
    // the live canvas's own.
    static float GetFixedScale() { return s_rFixedScale; }
    static std::string GetError() { return s_sError; }

    static ZindleApp* GetApp() { return s_pApp; }
    // The tuning the options last loaded, which the instrument plays.
    static const Tuning& GetTuning() { return s_tuning; }

  private:
    static std::vector<uint8_t> s_wav;
    static std::vector<uint8_t> s_frame;
    static std::vector<Shot> s_shots;
    static std::string s_sError;
    static ZindleApp* s_pApp;
    static float s_rFixedScale;
    static int s_iFrameWidth;
    static int s_iFrameHeight;
    static Tuning s_tuning;
    static Options s_options;
    static double s_rLastFrame;
    static int64_t s_iFrame;
};
