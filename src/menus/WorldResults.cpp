// Sending a result to the world's table: the score request that the send question starts, and
// the race's replay that follows it to the score server in the background.
#include "menus/Menus.h"

#include "context/GameContext.h"
#include "menus/ReplayUploader.h"
#include "menus/ScoreSubmission.h"
#include "net/ScoreRequest.h"

TScoreRequestOutcome TMenus::SubmitScore(int32_t score, const std::function<bool()>& whileWaiting) {
    std::string url = BuildScoreRequestUrl(m_context.Config().ScoreServer, m_context.Shell().PlayerName,
                                           score, m_context.Shell().GameOptions.AddInfo);
    return RunScoreRequest(m_context.MHttp(), url, whileWaiting);
}

namespace {
constexpr const char* kUploadFolder = "/Save/uploads";
} // namespace

TReplayUploader& TMenus::Uploader() {
    if (!m_uploader) {
        m_uploader = std::make_unique<TReplayUploader>(m_context.Config().DataDir + kUploadFolder,
                                                       m_context.Config().ScoreServer, m_context.MHttp());
    }
    return *m_uploader;
}

void TMenus::StartReplayUploads() {
    Uploader().TryAll();
}

void TMenus::UploadReplay(const std::string& replayBytes, bool sendNow) {
    Uploader().Queue(replayBytes, m_context.Config().ScoreServer, sendNow);
}

void TMenus::StopReplayUploads() {
    m_uploader.reset();
}
