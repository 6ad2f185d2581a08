#include "sound/SoundFont.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace velk::sound
{

std::vector<std::string> soundFontPlaces()
{
    if (const char* chosen = std::getenv(kSoundFontVariable); chosen && *chosen) {
        return {chosen};
    }
    // Debian's default-GM.sf2 is an alternative that points at whichever General MIDI SoundFont is installed;
    // TimGM6mb comes first so that every machine sounds alike.
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};
}

store::Result<std::string> findSoundFont(const std::vector<std::string>& places)
{
    std::string looked;
    for (const auto& place : places) {
        std::error_code error;
        if (std::filesystem::is_regular_file(place, error) && std::ifstream(place, std::ios::binary).good()) {
            return place;
        }
        looked += (looked.empty() ? "" : ", ") + place;
    }
    return store::Result<std::string>::failure("No General MIDI SoundFont was found (looked for " + looked
                                               + "), so nothing can be played: install the package "
                                                 "timgm6mb-soundfont.");
}

} // namespace velk::sound
