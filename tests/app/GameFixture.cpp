#include "app/GameFixture.h"

#include "app/MForm.h"
#include "app/Messages.h"
#include "app/Screens.h"
#include "context/Frame.h"
#include "engine/audio/GameSound.h"
#include "engine/audio/WaveCollection.h"
#include "menus/Menus.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path MakeScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "spraydash-game-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot create a scratch directory from " + pattern);
    }
    return pattern;
}
} // namespace

TGameFixture::TGameFixture() : m_dir(MakeScratchDir()), m_previousDir(fs::current_path()) {
    fs::create_directories(m_dir / "Data" / "Save");
    for (const char* sub : {"Res", "Music"}) {
        std::error_code ec;
        fs::create_directory_symlink(GeneratedDataDir() / sub, m_dir / "Data" / sub, ec);
    }
    fs::current_path(m_dir);
}

TGameFixture::~TGameFixture() {
    Discard();
    std::error_code ec;
    fs::current_path(m_previousDir, ec);
    fs::remove_all(m_dir, ec);
}

fs::path TGameFixture::GeneratedDataDir() {
    return SPRAYDASH_GENERATED_DATA_DIR;
}

bool TGameFixture::DataAvailable() {
    const fs::path data = GeneratedDataDir();
    for (const char* file :
         {"Res/Res1.dxg", "Res/Res3.dxg", "Res/Sounds.dxw", "Music/Menu.xm", "Music/Race.xm"}) {
        if (!fs::exists(data / file)) {
            return false;
        }
    }
    return true;
}

void TGameFixture::Start(uint32_t randomSeed) {
    Discard();
    m_platform = std::make_unique<THeadlessPlatform>();
    std::string error;
    if (!m_platform->OpenWindow("Spraydash", kScreenWidth, kScreenHeight, error)) {
        throw std::runtime_error("headless window: " + error);
    }
    TFormConfig config;
    config.HomeUrl = "http://home.test/";
    config.ScoreServer = ScoreServer;
    config.RandomSeed = randomSeed;
    m_form = std::make_unique<TMForm>(*m_platform, config);
    m_form->FormCreate();
}

void TGameFixture::Stop() {
    if (m_form) {
        m_form->FormDestroy();
    }
    Discard();
}

void TGameFixture::Discard() {
    m_form.reset();
    m_platform.reset();
}

TMenus& TGameFixture::Menus() {
    return m_form->Menus();
}
TMessages& TGameFixture::Messages() {
    return m_form->Messages();
}

void TGameFixture::Tick(int n) {
    for (int i = 0; i < n; ++i) {
        m_platform->Advance(kTickMs);
        m_form->PumpOnce(false);
    }
}

void TGameFixture::Pump() {
    m_form->PumpOnce(false);
}

bool TGameFixture::RunUntil(const std::function<bool()>& done, int maxTicks) {
    for (int i = 0; i < maxTicks; ++i) {
        if (done()) {
            return true;
        }
        Tick();
    }
    return done();
}

void TGameFixture::KeyDown(int virtualKey, bool alt, bool repeat) {
    m_platform->SetKey(virtualKey, true);
    m_platform->PushKey(virtualKey, true, alt, repeat);
    Pump();
}

void TGameFixture::KeyUp(int virtualKey) {
    m_platform->SetKey(virtualKey, false);
    m_platform->PushKey(virtualKey, false);
    Pump();
}

void TGameFixture::TapKey(int virtualKey) {
    KeyDown(virtualKey);
    Tick();
    KeyUp(virtualKey);
    Tick();
}

void TGameFixture::TypeText(const std::string& utf8) {
    m_platform->PushText(utf8);
    Pump();
}

void TGameFixture::MouseMove(int x, int y) {
    m_platform->PushMouseMove(x, y);
    Pump();
}

void TGameFixture::Click(int x, int y) {
    m_platform->PushClick(x, y);
    Pump();
}

void TGameFixture::LoseFocus() {
    m_platform->SetFocus(false);
    PushEvent(TPlatformEventKind::FocusLost);
}

void TGameFixture::GainFocus() {
    m_platform->SetFocus(true);
    PushEvent(TPlatformEventKind::FocusGained);
}

void TGameFixture::PushEvent(TPlatformEventKind kind) {
    TPlatformEvent e;
    e.Kind = kind;
    m_platform->Push(e);
    Pump();
}

bool TGameFixture::SoundPlaying(const std::string& name) {
    return m_form->MWaveList().Items().Find(name).PlayingCount() > 0;
}

void TGameFixture::SilenceSound(const std::string& name) {
    m_form->MWaveList().Items().Find(name).Stop();
}

fs::path TGameFixture::SavePath(const std::string& name) const {
    return m_dir / "Data" / "Save" / name;
}

void TGameFixture::WriteSave(const std::string& name, const std::string& bytes) const {
    fs::create_directories(SavePath(name).parent_path());
    std::ofstream out(SavePath(name), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TGameFixture::ReadSave(const std::string& name) const {
    std::ifstream in(SavePath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TGameFixture::SaveExists(const std::string& name) const {
    return fs::exists(SavePath(name));
}

void GameTest::SetUp() {
    if (!TGameFixture::DataAvailable()) {
        GTEST_SKIP() << "the game data has not been generated under " << TGameFixture::GeneratedDataDir();
    }
    if (StartInSetUp) {
        Game.Start();
    }
}
