#pragma once

#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/GameRandom.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/audio/GameSound.h"
#include "engine/audio/ModulePlayer.h"
#include "engine/audio/WaveCollection.h"
#include "engine/display/GameDraw.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/ImageList.h"
#include "engine/input/GameInput.h"
#include "engine/platform/HeadlessPlatform.h"
#include "engine/sprite/Sprite.h"
#include "net/HttpClient.h"

#include "race/RaceTestPictures.h"

#include <memory>
#include <string>
#include <vector>

// What the race needs of the game, and nothing of the rest: the race pictures made in memory on
// a headless display, the sprite engine, the frame, text, silent sound, input, and the requests
// the race sends up, which are written down (an overlay it opens is only marked as open).
class TRaceTestContext final : public TGameContext {
  public:
    explicit TRaceTestContext(uint32_t seed) {
        std::string error;
        m_platform.OpenWindow("race test", kScreenWidth, kScreenHeight, error);
        m_shell.GameOptions.SoundOn = false;
        m_shell.GameOptions.MusicOn = false;
        m_random.Seed(seed);
        AddRacePictures(m_imageList3.Items);
        m_draw.Initialize();
        // The race's own screen: captions and the background come from the race archive.
        m_shell.GameScreen = gsRace;
        m_scrollBack = new TScrollBackground(*this, "Land");
    }
    ~TRaceTestContext() override { m_sprites.Engine().Clear(); }

    TGameImageList& MImageList() override { return m_imageList; }
    TGameImageList& MImageList3() override { return m_imageList3; }
    TGameSpriteEngine& MSpriteEngine() override { return m_sprites; }
    TScrollBackground& ScrollBack() override { return *m_scrollBack; }
    TFrame& Frame() override { return m_frame; }
    TGameText& Text() override { return m_text; }
    TGameAudio& Audio() override { return m_audio; }
    const TGameInput& MInput() override { return m_input; }
    TShellState& Shell() override { return m_shell; }
    TScreenState& Screen() override { return m_screen; }
    TGameRandom& Random() override { return m_random; }
    const TFormConfig& Config() const override { return m_config; }
    THttpClient& MHttp() override { return m_http; }

    void OpenMessage(TMessageMode mode) override {
        m_shell.MessageMode = mode;
        Messages.push_back(mode);
    }
    void BuildMainMenu(bool, TMenuFollowUp) override { Requests.emplace_back("BuildMainMenu"); }
    void FreeMainMenu() override { Requests.emplace_back("FreeMainMenu"); }
    void StartRace(int32_t) override { Requests.emplace_back("StartRace"); }
    void ButtonClick(bool) override { Requests.emplace_back("ButtonClick"); }
    void ApplyDisplayMode() override { Requests.emplace_back("ApplyDisplayMode"); }
    void OpenUrl(const std::string&) override { Requests.emplace_back("OpenUrl"); }
    void SetTimerEnabled(bool enabled) override { TimerEnabled = enabled; }
    void ShowMouseCursor() override { CursorShown = true; }
    void HideMouseCursor() override { CursorShown = false; }
    void ShowWarning(const std::string&) override { Requests.emplace_back("ShowWarning"); }
    void PumpWhileBusy() override {}

    THeadlessPlatform& Platform() { return m_platform; }
    TGameDraw& MDraw() { return m_draw; }

    // The overlays the race opened, in order, and its other requests by name.
    std::vector<TMessageMode> Messages;
    std::vector<std::string> Requests;
    bool TimerEnabled = false;
    bool CursorShown = true;

  private:
    THeadlessPlatform m_platform;
    TGameDraw m_draw{&m_platform, kScreenWidth, kScreenHeight};
    TGameImageList m_imageList{&m_draw};
    TGameImageList m_imageList3{&m_draw};
    TGameSpriteEngine m_sprites{&m_draw};
    TGameInput m_input{&m_platform};
    TGameSound m_sound{&m_platform};
    TGameWaveList m_waves{&m_sound};
    TModulePlayer m_music{m_sound.Mixer()};
    TFormConfig m_config;
    TShellState m_shell;
    TScreenState m_screen;
    TGameRandom m_random;
    TGameAudio m_audio{m_waves, m_music, m_shell.GameOptions, m_shell.GameScreen};
    TFrame m_frame{m_draw, m_sprites};
    TGameText m_text{m_draw};
    THttpClient m_http;
    TScrollBackground* m_scrollBack = nullptr; // a sprite: owned by the sprite tree's root
};
