#include "menus/Menus.h"

#include "context/GameContext.h"
#include "context/GameText.h"
#include "menus/OptionsFile.h"
#include "menus/SaveFiles.h"
#include "menus/ScoreSubmission.h"
#include "net/ScoreRequest.h"

// The high-score table and the options as files, the table on screen, and the online submission.

bool TMenus::QualifiesForTable(int32_t score) const {
    return Table.QualifiesForTable(score);
}

void TMenus::CommitNameEntry(int32_t score) {
    THighScore& spare = Table.Entry(THighScoreTable::kSpare);
    spare.EntryName = m_context.Shell().PlayerName;
    spare.EntryScore = score;
    Table.SortHighScores();
}

void TMenus::SubmitScore(int32_t score) {
    std::string url = BuildScoreRequestUrl(m_context.Config().ScoreServer, m_context.Shell().PlayerName,
                                           score, m_context.Shell().GameOptions.AddInfo);
    RunScoreRequest(m_context.MHttp(), url, [this] { m_context.PumpWhileBusy(); });
}

void TMenus::LoadHighScores() {
    TSaveFileLoad load = Table.LoadHighScores(SavePath("hs"));
    if (load.Unreadable) {
        m_keepTableFile = true;
        m_unreadableFiles += load.Error + "\n";
    }
}

void TMenus::SaveHighScores() {
    if (!m_keepTableFile) {
        Table.SaveHighScores(SavePath("hs"));
    }
}

void TMenus::ResetHighScores() {
    Table.ResetHighScores();
}

bool TMenus::TableCheckMatches() {
    return Table.TableCheckMatches();
}

void TMenus::LoadOptions() {
    TSaveFileLoad load = ::LoadOptions(SavePath("options"), m_context.Shell().GameOptions, Table.TableCheck);
    if (load.Unreadable) {
        // The table file's check lives in this one: a table written without it would be reset at
        // the next start, so the table file is kept as well.
        m_keepOptionsFile = true;
        m_keepTableFile = true;
        m_unreadableFiles += load.Error + "\n";
    }
    // Both files are loaded by now: one word to the player, not one per file and not at every save.
    if (!m_unreadableFiles.empty()) {
        m_context.ShowWarning(m_unreadableFiles + "\n" +
                              (m_keepOptionsFile
                                   ? "The save files are left as they are; the options and high "
                                     "scores of this game will not be saved."
                                   : "The file is left as it is; the high scores of this game will "
                                     "not be saved."));
        m_unreadableFiles.clear();
    }
}

void TMenus::SaveOptions() {
    if (m_keepOptionsFile) {
        return;
    }
    // A kept table file keeps the check that vouches for it, so that it still loads once it can be
    // read again.
    std::string check = m_keepTableFile && Table.TableCheck ? *Table.TableCheck : Table.ComputeTableCheck();
    ::SaveOptions(SavePath("options"), m_context.Shell().GameOptions, check);
}
