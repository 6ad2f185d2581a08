// velk-catalogue play: a movement's line rendered to a WAV file with the voice the window plays it in.

#include "tools/Commands.h"

#include "sound/Beats.h"
#include "sound/MovementSound.h"
#include "sound/SoundFont.h"
#include "sound/WavFile.h"
#include "store/ConnectionString.h"

#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <stdexcept>

namespace
{

int runPlayCommand(const std::vector<std::string>& args)
{
    using velk::tools::UsageError;
    const auto arguments = velk::tools::parseArguments(args, {"--reverb"}, {"--wav", "--tempo", "--from"}, 2, 2);
    const auto wav = arguments.value("--wav");
    if (!wav) {
        throw UsageError("give the WAV file to write with --wav OUT.wav");
    }
    velk::tools::requireFileName(*wav);
    const auto id = velk::tools::wholeNumberArgument("the movement's id", arguments.positional[1], 1,
                                                     std::numeric_limits<std::int64_t>::max());
    velk::sound::RenderOptions options;
    options.effects = arguments.has("--reverb");
    if (const auto tempo = arguments.value("--tempo")) {
        options.tempo = static_cast<int>(velk::tools::wholeNumberArgument("--tempo", *tempo, velk::sound::kSlowestTempo,
                                                                          velk::sound::kFastestTempo));
    }
    std::int64_t from = 1;
    if (const auto given = arguments.value("--from")) {
        from = velk::tools::wholeNumberArgument("--from", *given, 1, std::numeric_limits<std::int32_t>::max());
    }

    std::error_code ignored;
    if (std::filesystem::equivalent(*wav, arguments.positional[0], ignored)) {
        throw std::runtime_error("The WAV file " + *wav + " is the catalogue itself: name another file.");
    }
    const auto line = velk::sound::readMovementLine(velk::store::connectionStringForFile(arguments.positional[0]), id);
    if (!line) {
        throw std::runtime_error(line.message());
    }
    const std::size_t positions = line->notes.size();
    if (positions == 0) {
        throw std::runtime_error("Movement " + std::to_string(id) + " has no pitches to play.");
    }
    if (static_cast<std::size_t>(from) > positions) {
        throw std::runtime_error("--from " + std::to_string(from) + " is past the end of the line: movement "
                                 + std::to_string(id) + " has " + std::to_string(positions)
                                 + (positions == 1 ? " position." : " positions."));
    }
    const auto beats = velk::sound::beatsOf(line.value(), static_cast<std::size_t>(from - 1));
    const auto written = velk::sound::renderWav(beats, options, *wav);
    std::cout << "Wrote " << *wav << ": positions " << from << " to " << positions << " of movement " << id << ", "
              << written.beats << (written.beats == 1 ? " note" : " notes") << " at " << options.tempo
              << " beats a minute, " << std::lround(written.seconds) << " s, " << (options.effects ? "with" : "without")
              << " reverb (" << velk::sound::kVoiceName << " from " << written.soundFont << ").\n";
    return 0;
}

} // namespace

VELK_REGISTER_COMMAND({"play",
                       "renders a movement's line to a WAV file, one note a beat, in its octave setting (dry unless "
                       "--reverb)",
                       "FILE ID --wav OUT.wav [--tempo BPM] [--from N] [--reverb]", &runPlayCommand});
