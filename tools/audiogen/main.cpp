// spraydash-audiogen: builds the game's sound archive and music modules from the text sources in
// assets/sounds and assets/music.
//   spraydash-audiogen sounds EFFECTS.txt OUT.dxw [--wav-dir DIR]
//   spraydash-audiogen music SONG.txt OUT.xm
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "Effects.h"
#include "Song.h"
#include "WaveFile.h"
#include "XmModule.h"
#include "engine/archive/WaveArchive.h"

namespace {

std::ifstream OpenSource(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error(path + ": cannot be opened");
    return in;
}

// Writes beside the target and renames, so a failed run never leaves half a file that looks up to date.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path());
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error(temp + ": cannot be written");
    }
    std::filesystem::rename(temp, target);
}

void BuildSounds(const std::string& source, const std::string& output, const std::string& wavDir) {
    auto in = OpenSource(source);
    auto recipes = audiogen::ParseEffects(in, source);
    std::vector<TWaveArchiveItem> items;
    for (const auto& recipe : recipes) {
        TWaveArchiveItem item;
        item.Name = recipe.Name;
        item.Looped = recipe.Looped;
        item.MaxPlayingCount = recipe.MaxPlayingCount;
        item.Wave = audiogen::MakeWaveFile(audiogen::RenderEffect(recipe), audiogen::SynthRate);
        if (!wavDir.empty())
            WriteFileAtomically(wavDir + "/" + recipe.Name + ".wav", item.Wave);
        items.push_back(std::move(item));
    }
    std::filesystem::path target(output);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path());
    std::string temp = output + ".tmp";
    WriteWaveArchiveFile(temp, items);
    std::filesystem::rename(temp, target);
}

void BuildMusic(const std::string& source, const std::string& output) {
    auto in = OpenSource(source);
    auto module = audiogen::ParseSong(in, source);
    WriteFileAtomically(output, audiogen::WriteXm(module));
}

int Usage() {
    std::cerr << "usage: spraydash-audiogen sounds EFFECTS.txt OUT.dxw [--wav-dir DIR]\n"
                 "       spraydash-audiogen music SONG.txt OUT.xm\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 3 && args[0] == "music") {
            BuildMusic(args[1], args[2]);
        } else if ((args.size() == 3 || (args.size() == 5 && args[3] == "--wav-dir")) &&
                   args[0] == "sounds") {
            BuildSounds(args[1], args[2], args.size() == 5 ? args[4] : "");
        } else {
            return Usage();
        }
    } catch (const std::exception& e) {
        std::cerr << "spraydash-audiogen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
