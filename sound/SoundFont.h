#pragma once

#include "store/Result.h"

#include <string>
#include <vector>

namespace velk::sound
{

/// The environment variable that names the SoundFont to use instead of those Debian installs.
inline constexpr const char* kSoundFontVariable = "VELK_SOUNDFONT";

/// The General MIDI program of the voice, 0-based: Voice Oohs, a single voice whose pitch stands clear. (TimGM6mb's
/// Choir Aahs is an ensemble, breathy and spread by up to a fifth of a semitone, with a weak fundamental in the
/// bass: a line is harder to follow in it.)
inline constexpr int kVoiceProgram = 53;
inline constexpr const char* kVoiceName = "Voice Oohs";

/// Where a SoundFont is looked for, in order: the file named by VELK_SOUNDFONT alone when it is set and not
/// empty; otherwise TimGM6mb (package timgm6mb-soundfont), then the system's default General MIDI SoundFont.
std::vector<std::string> soundFontPlaces();

/// The first of the places that is a readable file, or a failure whose message names where it looked.
store::Result<std::string> findSoundFont(const std::vector<std::string>& places = soundFontPlaces());

} // namespace velk::sound
