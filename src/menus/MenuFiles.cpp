#include "menus/Menus.h"

#include "app/MForm.h"
#include "app/Messages.h"
#include "menus/OptionsFile.h"
#include "menus/ScoreSubmission.h"
#include "net/ScoreRequest.h"
#include "race/Race.h"

// The high-score table and the options as files, the table on screen, and the online submission.

bool TMenus::QualifiesForTable() {
    return Table.QualifiesForTable(m_form.Race().Score);
}

void TMenus::CommitNameEntry(int32_t score) {
    THighScore& spare = Table.Entry(THighScoreTable::kSpare);
    spare.EntryName = m_form.Shell.PlayerName;
    spare.EntryScore = score;
    Table.SortHighScores();
}

void TMenus::SubmitScore() {
    std::string url = BuildScoreRequestUrl(m_form.Config().ScoreServer, m_form.Shell.PlayerName,
                                           m_form.Race().Score, m_form.Shell.GameOptions.AddInfo);
    RunScoreRequest(m_form.MHttp(), url, [this] { m_form.PumpWhileBusy(); });
}

void TMenus::LoadHighScores() {
    Table.LoadHighScores(SavePath("hs"));
}

void TMenus::SaveHighScores() {
    Table.SaveHighScores(SavePath("hs"));
}

void TMenus::ResetHighScores() {
    Table.ResetHighScores();
}

bool TMenus::TableCheckMatches() {
    return Table.TableCheckMatches();
}

void TMenus::LoadOptions() {
    ::LoadOptions(SavePath("options"), m_form.Shell.GameOptions, Table.TableCheck);
}

void TMenus::SaveOptions() {
    ::SaveOptions(SavePath("options"), m_form.Shell.GameOptions, Table.ComputeTableCheck());
}

void TMenus::DrawHighScoreTable() {
    auto& text = m_form.Messages();
    text.SetTextFont(1);
    for (int n = 1; n <= THighScoreTable::kEntries; ++n) {
        int y = 120 + 32 * n;
        const THighScore& e = Table.Entry(n);
        text.DrawText(std::to_string(n), 62, y, true);
        text.DrawText(e.EntryName, 214, y, true);
        text.DrawText(std::to_string(e.EntryScore), 435, y, true);
    }
}
