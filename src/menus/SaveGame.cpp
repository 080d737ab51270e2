#include "menus/Menus.h"

#include "context/GameContext.h"
#include "context/GameText.h"
#include "menus/ComfortsFile.h"
#include "menus/OptionsFile.h"
#include "menus/SaveFiles.h"
#include "menus/SaveFolder.h"

// What the menus keep on disk: the save folder's claim, the high-score table (and a new entry in
// it), the options and the comforts, loaded at the start and saved as soon as something is earned.

bool TMenus::QualifiesForTable(int32_t score) const {
    return Table.QualifiesForTable(score);
}

void TMenus::CommitNameEntry(int32_t score) {
    THighScore& spare = Table.Entry(THighScoreTable::kSpare);
    spare.EntryName = m_context.Shell().PlayerName;
    spare.EntryScore = score;
    Table.SortHighScores();
    // On disk now: however the game ends from here, the new entry stays.
    SaveEarned();
}

TSaveFolder::TClaim TMenus::ClaimSaveFolder() {
    m_saveFolder = std::make_unique<TSaveFolder>(m_context.Config().DataDir + "/Save");
    TSaveFolder::TClaim claim = m_saveFolder->Claim();
    if (claim == TSaveFolder::TClaim::Unwritable) {
        m_startProblems += m_saveFolder->Problem() +
                           "\nThe high scores and options of this game cannot be saved until it can be "
                           "written; the game tries again whenever it saves.\n";
        // Said now, at the start; the saves that fail for the same reason add nothing to it.
        m_toldSaveTrouble = true;
    }
    return claim;
}

void TMenus::LoadHighScores() {
    TSaveFileLoad load = Table.LoadHighScores(SavePath("hs"));
    m_tableFileRead = !load.Unreadable && SaveFileExists(SavePath("hs"));
    if (load.Unreadable) {
        m_keepTableFile = true;
        m_unreadableFiles += load.Error + "\n";
    }
    if (load.Damaged) {
        PutTableFileAside("holds something other than a table the game wrote");
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

void TMenus::RejectLoadedTable() {
    Table.ResetHighScores();
    if (m_tableFileRead) {
        PutTableFileAside("does not match its check in the options file (damaged, edited, or the options "
                          "file is missing)");
    }
}

void TMenus::PutTableFileAside(const std::string& why) {
    // Only once: a table found damaged is not also put aside again for failing its check.
    if (!m_tableFileRead || m_keepTableFile) {
        return;
    }
    m_tableFileRead = false;
    const std::string path = SavePath("hs");
    std::string error;
    std::string keptAs = PutAside(path, error);
    if (keptAs.empty()) {
        // What could not be moved out of the way must not be written over either.
        m_keepTableFile = true;
        m_startProblems += "The high-score table \"" + path + "\" " + why + ". " + error +
                           ".\nIt is left as it is; the high scores of this game will not be saved.\n";
        return;
    }
    m_startProblems += "The high-score table \"" + path + "\" " + why + ". It is kept as \"" + keptAs +
                       "\", and the table starts afresh.\n";
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
}

void TMenus::LoadComforts() {
    TComfortsLoad load = ::LoadComforts(SavePath("settings"), Comforts);
    if (!load.Problem.empty()) {
        m_startProblems += load.Problem;
    }
}

void TMenus::SaveComforts() {
    ::SaveComforts(SavePath("settings"), Comforts);
}

void TMenus::TellStartProblems() {
    // One word to the player for everything found at the start, not one per file.
    std::string text = m_startProblems;
    if (!m_unreadableFiles.empty()) {
        text += m_unreadableFiles + (m_keepOptionsFile
                                         ? "The save files are left as they are; the options and high "
                                           "scores of this game will not be saved.\n"
                                         : "The file is left as it is; the high scores of this game "
                                           "will not be saved.\n");
    }
    m_startProblems.clear();
    m_unreadableFiles.clear();
    if (!text.empty()) {
        text.pop_back();
        m_context.ShowWarning(text);
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

std::string TMenus::SaveAll() {
    // The table first: its check goes into the options file, and a table whose check has not been
    // written yet is put aside at the next start, not lost.
    std::string failures;
    for (auto save : {&TMenus::SaveHighScores, &TMenus::SaveOptions, &TMenus::SaveComforts}) {
        try {
            (this->*save)();
        } catch (const std::exception& e) {
            failures += std::string(e.what()) + "\n";
        }
    }
    return failures;
}

void TMenus::SaveEarned() {
    std::string failures = SaveAll();
    if (failures.empty()) {
        m_toldSaveTrouble = false;
        return;
    }
    if (!m_toldSaveTrouble) {
        m_toldSaveTrouble = true;
        m_context.ShowWarning("The game could not be saved.\n" + failures +
                              "Any save file from before is left as it was; the game tries again "
                              "whenever it saves, and when it ends.");
    }
}
