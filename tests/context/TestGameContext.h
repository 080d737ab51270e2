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

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A game context for testing one screen alone: a headless display, the sprite engine, the frame,
// text, silent sound and music, input, and the requests the screen sends up, written down in
// order (an overlay it opens is only marked as open).
class TTestGameContext : public TGameContext {
  public:
    // fillPictures fills the menu and the race lists before the display starts; the screen's
    // background is made for `screen` with the picture of that name.
    TTestGameContext(uint32_t seed, TGameScreen screen, const std::string& background,
                     const std::function<void(TGameImageList& menu, TGameImageList& race)>& fillPictures) {
        std::string error;
        m_platform.OpenWindow("screen test", kScreenWidth, kScreenHeight, error);
        m_shell.GameOptions.SoundOn = false;
        m_shell.GameOptions.MusicOn = false;
        m_random.Seed(seed);
        fillPictures(m_imageList, m_imageList3);
        m_draw.Initialize();
        m_view.GameScreen = screen;
        m_scrollBack = new TScrollBackground(*this, background);
    }
    ~TTestGameContext() override { m_sprites.Engine().Clear(); }

    TGameImageList& MImageList() override { return m_imageList; }
    TGameImageList& MImageList3() override { return m_imageList3; }
    TGameSpriteEngine& MSpriteEngine() override { return m_sprites; }
    TScrollBackground& ScrollBack() override { return *m_scrollBack; }
    TFrame& Frame() override { return m_frame; }
    TGameText& Text() override { return m_text; }
    TGameAudio& Audio() override { return m_audio; }
    const TGameInput& MInput() override { return m_input; }
    const TTickView& TickView() const override { return m_view; }
    void ChangeScreen(TGameScreen screen) override { m_view.GameScreen = screen; }
    TShellState& Shell() override { return m_shell; }
    TScreenState& Screen() override { return m_screen; }
    TGameRandom& Random() override { return m_random; }
    const TFormConfig& Config() const override { return m_config; }
    THttpClient& MHttp() override { return m_http; }

    void OpenMessage(TMessageMode mode) override {
        Requests.push_back("OpenMessage " + std::to_string(mode));
        if (OnOpenMessage) {
            OnOpenMessage(mode);
        } else {
            m_view.MessageMode = mode;
        }
    }
    void BuildMainMenu(bool full, TMenuFollowUp followUp) override {
        Requests.push_back(std::string("BuildMainMenu ") + (full ? "full " : "partial ") +
                           std::to_string(followUp));
    }
    void FreeMainMenu() override { Requests.emplace_back("FreeMainMenu"); }
    void StartRace(int32_t boat) override { Requests.push_back("StartRace " + std::to_string(boat)); }
    void ButtonClick(bool fromKeyboard) override {
        Requests.push_back(std::string("ButtonClick ") + (fromKeyboard ? "keyboard" : "mouse"));
        if (OnButtonClick) {
            OnButtonClick();
        }
    }
    void ApplyDisplayMode() override { Requests.emplace_back("ApplyDisplayMode"); }
    void OpenUrl(const std::string& url) override { Requests.push_back("OpenUrl " + url); }
    void SetTimerEnabled(bool enabled) override { TimerEnabled = enabled; }
    void ShowMouseCursor() override { CursorShown = true; }
    void HideMouseCursor() override { CursorShown = false; }
    void ShowWarning(const std::string& text) override { Requests.push_back("ShowWarning " + text); }
    bool PumpWhileBusy() override { return true; }

    TFormConfig& MutableConfig() { return m_config; }
    // What the game would write each tick (key edges, an overlay closed by hand).
    TTickView& MutableTickView() { return m_view; }

    THeadlessPlatform& Platform() { return m_platform; }
    TGameInput& Input() { return m_input; }
    TGameDraw& MDraw() { return m_draw; }

    // Where overlays and clicks go, for a test that has the game's overlays at hand.
    std::function<void(TMessageMode)> OnOpenMessage;
    std::function<void()> OnButtonClick;

    // The requests sent up, in order, with their arguments.
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
    TTickView m_view;
    TShellState m_shell;
    TScreenState m_screen;
    TGameRandom m_random;
    TGameAudio m_audio{m_waves, m_music, m_shell.GameOptions, m_view.GameScreen};
    TFrame m_frame{m_draw, m_sprites};
    TGameText m_text{m_draw};
    THttpClient m_http;
    TScrollBackground* m_scrollBack = nullptr; // a sprite: owned by the sprite tree's root
};
