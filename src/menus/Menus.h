#pragma once

#ifdef SPRAYDASH_RACE_LIBRARY
#error "the race reaches the menus' part of the game through TGameContext, not through the menus"
#endif

#include "context/Comforts.h"
#include "context/GameState.h"
#include "context/ScreenState.h"
#include "menus/HighScores.h"
#include "menus/SaveFolder.h"
#include "net/ScoreRequest.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TGameContext;
class TCaptionSprite;
class TMenuButton;
class TReplayUploader;

// The menu screens beside the main menu (options, high scores, help, boat choice), their
// ticks and clicks, and the table and options files they show.
class TMenus {
  public:
    explicit TMenus(TGameContext& context);
    ~TMenus();

    // The menu screens (main menu, options, high scores, help, boat choice) each keep their
    // opening, tick, click and Esc in a file of their own; the form reaches the open one through
    // these, which look it up in one table. The start and the race are no menu screens: nothing.
    static bool IsMenuScreen(TGameScreen screen);
    void ScreenTick(int lagCount);
    // What a click does on the open menu screen (ActiveButton).
    void MenuButtonClick(bool fromKeyboard);
    // Esc on the open screen: the active button becomes the one Esc stands for, and the caller
    // clicks it. False where Esc does nothing (the main menu).
    bool ScreenEscape();
    // A key typed on the open menu screen: Enter, Esc, Backspace or a character.
    void ScreenKeyPress(char key);
    // The open sub-screen goes without a way back to the main menu (a replay is starting).
    void CloseScreen();

    // The main menu. In full, with its music, background, panels and button column sliding in;
    // otherwise back from a sub-screen to the menu that stayed built under it.
    void BuildMainMenu(bool full, TMenuFollowUp followUp);
    void FreeMainMenu();
    void MainMenuTick(int lagCount);
    void MainMenuClick(bool fromKeyboard);
    bool MainMenuEscape();

    void OpenOptionsScreen();
    void CloseOptionsScreen();
    void OptionsTick(int lagCount);
    void OptionsClick(bool fromKeyboard);
    bool OptionsEscape();
    // Enter, Esc and Backspace as everywhere; characters go into the text field while it is edited.
    void OptionsKeyPress(char key);
    // What Enter, Esc and Backspace do on the menu screens without a text field.
    void ControlKeyPress(char key);

    void OpenHighScoreScreen();
    void CloseHighScoreScreen();
    void HighScoreTick(int lagCount);
    void HighScoreClick(bool fromKeyboard);
    bool HighScoreEscape();

    void OpenHelpScreen();
    void CloseHelpScreen();
    void HelpTick(int lagCount);
    void HelpClick(bool fromKeyboard);
    bool HelpEscape();

    void OpenBoatScreen();
    void CloseBoatScreen();
    void BoatSelectTick(int lagCount);
    void BoatSelectClick(bool fromKeyboard);
    bool BoatSelectEscape();

    // Highlight and keyboard stepping, shared with the overlays.
    void UpdateButtonHighlight();
    void UpdateOverlayHighlight();
    void NavigateVertical(bool wrap);
    void NavigateHorizontal(bool wrap);
    void SelectNext(bool wrap);
    void SelectPrevious(bool wrap);

    // Options screen.
    void RefreshOptionCaptions();
    void StartTextEditing();
    void StopTextEditing();
    void ToggleFullScreen();

    // End of a race: the table and the online submission.
    bool QualifiesForTable(int32_t score) const;
    // The spare entry gets PlayerName and the score, and the table is sorted.
    void CommitNameEntry(int32_t score);
    // Sends the result; returns when the request has ended or failed (failures only show in the
    // outcome), or when whileWaiting, called about every 15 ms meanwhile, returns false.
    TScoreRequestOutcome SubmitScore(int32_t score, const std::function<bool()>& whileWaiting);
    // After the score request, whatever its answer, the race's replay goes to the same server,
    // from a worker that no screen waits for. What cannot be sent stays queued in the save
    // folder and is tried again at the next start and after the next sent result. sendNow false
    // only queues it (the game is ending).
    void UploadReplay(const std::string& replayBytes, bool sendNow);
    // At the start: the queued replays are tried.
    void StartReplayUploads();
    // The upload under way is given up within a fraction of a second and stays queued.
    void StopReplayUploads();
    TReplayUploader* ReplayUploader() { return m_uploader.get(); }

    // Files. The save folder is claimed first; a second game on it is refused by the caller.
    // A file that is there but cannot be read is never written over; a table that fails its
    // check or holds damage is put aside under a name of its own, never thrown away. What was
    // found at the start is told once, by TellStartProblems.
    TSaveFolder::TClaim ClaimSaveFolder();
    // Why the claim did not get the folder.
    std::string SaveFolderProblem() const { return m_saveFolder ? m_saveFolder->Problem() : std::string(); }
    void LoadHighScores();
    void SaveHighScores();
    void ResetHighScores();
    bool TableCheckMatches();
    // The loaded table failed its check: the default table, the file put aside.
    void RejectLoadedTable();
    void LoadOptions();
    // Something else found at the start, told with the rest.
    void AddStartProblem(const std::string& text) { m_startProblems += text + "\n"; }
    void TellStartProblems();
    void SaveOptions();
    // Both files now, with what the game has earned so far (a table entry, a changed option), so
    // that no ending of the game loses it. A failure is told once, until a save succeeds again.
    void SaveEarned();
    // Both files and the comforts' file; what went wrong, one line per file, or nothing.
    std::string SaveAll();
    // The comforts beyond the options: read at the start (a damaged line is told once, with the
    // start's other problems), written with the other files.
    void LoadComforts();
    void SaveComforts();
    void DrawHighScoreTable();

    // A line at the foot of the main menu for a few seconds: something the player should know
    // once that is no failure of the game (no sound device).
    void ShowNotice(const std::string& text);

    std::string HomePageUrl() const;
    std::string WorldHighScoreUrl() const;

    THighScoreTable Table;
    TComforts Comforts;
    bool MuteNextHighlight = false;
    bool NavReady = false;
    bool NavHitEnd = false;
    bool TextEditing = false;
    int32_t HelpPage = 1;
    TCaptionSprite* SubScreenTitle = nullptr;
    std::array<TCaptionSprite*, 4> OptionRows{};
    // The options text field's cursor, while the options screen is open, and its blink clock.
    TCaptionSprite* OptionsCursor = nullptr;
    int32_t CursorBlinkMs = 0;

  private:
    // Where a sub-screen's frame sits beside the main menu, under the panels.
    static constexpr int kSubScreenX = 12;
    static constexpr int kSubScreenY = 106;
    static constexpr int kSubScreenZ = 2;

    static bool IsMainButton(int32_t slot);
    static bool IsControlKey(char key);
    // A character, or Backspace, into the options' text field.
    void TypeIntoTextLine(char key);
    TMenuButton* Button(int32_t slot);
    // A sub-screen's frame (its title picture) in its place beside the main menu.
    TCaptionSprite* NewSubScreenTitle(const std::string& imageName);
    void SetSubScreen(TGameScreen screen, int32_t buttonCount, int32_t first, int32_t last, int32_t active);
    void LightMainButton(int32_t slot);
    // A main-menu button other than the open screen's own is highlighted: back to the menu.
    bool LeaveForOtherMainButton(int32_t ownButton);
    void BackToMainMenu();
    void ShowHelpPage();
    void BlinkCursor();
    std::string SavePath(const char* name) const;
    void DrawNotice();
    void PutTableFileAside(const std::string& why);
    TReplayUploader& Uploader();

    static constexpr int32_t kNoticeShownMs = 5000;
    // Bright on the water, left of the bottom-right badge.
    static constexpr int kNoticeFont = 3;
    static constexpr int kNoticeX = 290;
    static constexpr int kNoticeY = 556;

    TGameContext& m_context;
    std::string m_notice;
    int32_t m_noticeMs = 0;
    // Files left as they are at the end, and why.
    bool m_keepTableFile = false;
    bool m_keepOptionsFile = false;
    std::string m_unreadableFiles;
    std::string m_startProblems;
    bool m_tableFileRead = false; // a table file was there and read: it is put aside if rejected
    bool m_toldSaveTrouble = false;
    std::unique_ptr<TSaveFolder> m_saveFolder;
    std::unique_ptr<TReplayUploader> m_uploader;
};
