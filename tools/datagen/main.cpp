// spraydash-datagen: builds the game's picture archives from SVG sources and
// draws contact sheets and layout previews for checking the art.
#include "ContactSheet.h"
#include "Manifest.h"
#include "PictureBuilder.h"
#include "Previews.h"

#include "engine/archive/ImageArchive.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

int Usage() {
    std::cerr << "usage:\n"
                 "  spraydash-datagen pictures MANIFEST OUT.dxg [--sheet SHEET.png]\n"
                 "  spraydash-datagen previews RES1.dxg RES3.dxg OUTDIR\n";
    return 2;
}

// Writes next to the target and renames, so a failed run never leaves a
// half-written archive that a later build would take as up to date.
void WriteArchiveAtomically(const fs::path& out, const std::vector<TImageArchiveItem>& items) {
    if (out.has_parent_path())
        fs::create_directories(out.parent_path());
    fs::path temp = out;
    temp += ".part";
    try {
        WriteImageArchiveFile(temp.string(), items);
    } catch (const std::exception& e) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw datagen::DataError(out.string() + ": cannot write the archive: " + e.what());
    }
    fs::rename(temp, out);
}

int Pictures(const std::vector<std::string>& args) {
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--sheet"))
        return Usage();
    const fs::path manifest = args[0], out = args[1];
    std::vector<TImageArchiveItem> items;
    for (const auto& entry : datagen::ReadManifest(manifest))
        items.push_back(datagen::BuildItem(entry));
    WriteArchiveAtomically(out, items);
    if (args.size() == 4) {
        fs::path sheet = args[3];
        if (sheet.has_parent_path())
            fs::create_directories(sheet.parent_path());
        datagen::WriteContactSheet(sheet, items);
    }
    return 0;
}

int PreviewsCommand(const std::vector<std::string>& args) {
    if (args.size() != 3)
        return Usage();
    datagen::PictureSet menu(args[0]);
    datagen::PictureSet race(args[1]);
    const fs::path dir = args[2];
    fs::create_directories(dir);
    std::set<std::string> missingMenu, missingRace;
    datagen::WriteMenuPreviews(menu, dir, missingMenu);
    datagen::WriteRacePreviews(race, menu, dir, missingRace);
    // Missing pictures are drawn as marked boxes so the rest can still be judged.
    for (const auto& name : missingMenu)
        std::cerr << "spraydash-datagen: warning: " << args[0] << " has no picture '" << name << "'\n";
    for (const auto& name : missingRace)
        std::cerr << "spraydash-datagen: warning: " << args[1] << " (or the menu archive) has no picture '"
                  << name << "'\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "pictures")
            return Pictures(args);
        if (command == "previews")
            return PreviewsCommand(args);
        return Usage();
    } catch (const std::exception& e) {
        std::cerr << "spraydash-datagen: " << e.what() << "\n";
        return 1;
    }
}
