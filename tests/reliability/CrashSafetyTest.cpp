// A writer killed at random moments leaves a sound catalogue in which every movement holds one whole state.
//
// A child process runs the movement window's logic (with a fake view) over a catalogue and writes generation
// after generation: each generation g gives every text field of four fixed movements the text "g<g>", their
// lengths the number g, their rich texts "{\rtf1 g<g> ...}" (40,000 letters long), their pitch sequences a sequence
// that spells g, and their deviations the tabulation of that sequence; it also adds a movement for g and deletes the
// older ones. The parent kills it with SIGKILL at a random moment, checks the file with the catalogue check and reads
// every movement back: each row, each sequence and each deviation must be wholly one generation, never a mix, and never
// older than what the parent saw before the kill.

#include "melody/MelodyIndex.h"
#include "movement/MovementController.h"
#include "pitches/PitchSequence.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/StoreError.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"
#include "tests/movement/FakeMovementView.h"
#include "tests/support/TempCatalogue.h"
#include "tools/CatalogueCheck.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace velk;
using movement::MovementController;
using store::Value;

namespace
{

constexpr int kFixedMovements = 4;
constexpr std::int64_t kExtraKtnBase = 1000;
constexpr int kKills = 100;

const std::array<const char*, 9> kTextFields {"txtComposed", "strOpeningKey", "strClosingKey", "Sub1", "Sub2",
                                              "Sub3",        "Sub4",          "Sub5",          "Sub6"};
const std::array<const char*, 2> kNumberFields {"iLength", "i12in"};

std::string generationText(std::int64_t g)
{
    return "g" + std::to_string(g);
}

/// Long enough to spill into overflow pages, so that one save writes many pages.
std::string generationRtf(std::int64_t g)
{
    return "{\\rtf1 " + generationText(g) + " " + std::string(40000, static_cast<char>('a' + g % 26)) + "}";
}

/// The pitch ids of the spellings and the class of each pitch, read once before any child runs.
struct Vocabulary
{
    std::map<std::string, std::int32_t> ids;
    std::map<std::int32_t, std::int64_t> classOf;
    std::vector<std::int64_t> classIds; // ascending, as the tabulation lists them
};

Vocabulary readVocabulary(const std::string& connectionString)
{
    Vocabulary v;
    auto c = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
    const auto pitches = c.query("select txtPitch, iPitchID from tblPitchLookup");
    for (const auto& row : pitches.rows()) {
        v.ids[row[0].toText()] = static_cast<std::int32_t>(row[1].toInt64());
    }
    const auto members = c.query("select iPitchID, iClassID from tblPitchClassJoin");
    for (const auto& row : members.rows()) {
        v.classOf[static_cast<std::int32_t>(row[0].toInt64())] = row[1].toInt64();
    }
    const auto classes = c.query("select iClassID from tblClassLookup order by iClassID");
    for (const auto& row : classes.rows()) {
        v.classIds.push_back(row[0].toInt64());
    }
    return v;
}

/// The sequence of generation g: an upper C, then g's base-7 digits as the naturals c to b, repeated 1 to 4 times
/// (so sequences differ in length too), then an upper B.
std::vector<std::int32_t> generationSequence(const Vocabulary& v, std::int64_t g)
{
    static const std::array<const char*, 7> digits {"c", "d", "e", "f", "g", "a", "b"};
    std::vector<std::int32_t> body;
    std::int64_t rest = g;
    do {
        body.push_back(v.ids.at(digits[static_cast<std::size_t>(rest % 7)]));
        rest /= 7;
    } while (rest > 0);
    std::vector<std::int32_t> sequence {v.ids.at("C")};
    for (std::int64_t r = 0; r < 1 + g % 4; ++r) {
        sequence.insert(sequence.end(), body.begin(), body.end());
    }
    sequence.push_back(v.ids.at("B"));
    return sequence;
}

/// The deviation the tabulations page stores for generation g's sequence.
double generationDeviation(const Vocabulary& v, std::int64_t g)
{
    const auto sequence = generationSequence(v, g);
    std::map<std::int64_t, std::int64_t> counts;
    for (const auto id : sequence) {
        ++counts[v.classOf.at(id)];
    }
    std::vector<std::optional<std::int64_t>> classCounts;
    for (const auto classId : v.classIds) {
        const auto found = counts.find(classId);
        classCounts.push_back(found == counts.end() ? std::nullopt : std::optional<std::int64_t>(found->second));
    }
    const float deviation = tabulations::averageDeviation(classCounts, static_cast<std::int64_t>(sequence.size()));
    return std::stod(store::formatSingle(deviation));
}

/// What the parent reads of one movement.
struct MovementState
{
    std::int64_t ktn = 0;
    std::optional<std::int64_t> rowGeneration; // nothing when the fields disagree
    std::vector<std::int32_t> sequence;
    Value deviation;
};

/// The generation all fields of a row agree on, or nothing when they do not.
std::optional<std::int64_t> rowGeneration(const store::ResultSet& rs, std::size_t row)
{
    const auto& values = rs.rows()[row];
    const auto column = [&](const char* name) {
        return values.at(static_cast<std::size_t>(rs.columnIndex(name)));
    };
    const Value length = column("iLength");
    if (!length.isInteger()) {
        return std::nullopt;
    }
    const std::int64_t g = length.toInt64();
    for (const char* field : kNumberFields) {
        if (!column(field).isInteger() || column(field).toInt64() != g) {
            return std::nullopt;
        }
    }
    for (const char* field : kTextFields) {
        if (column(field).toText() != generationText(g)) {
            return std::nullopt;
        }
    }
    if (column("Description").toText() != generationRtf(g) || column("txtComments").toText() != generationRtf(g)) {
        return std::nullopt;
    }
    return g;
}

std::map<std::int64_t, MovementState> readMovements(const std::string& connectionString)
{
    std::map<std::int64_t, MovementState> movements;
    auto c = store::Connection::open(connectionString, store::AccessMode::ReadOnly);
    const auto rs = c.query("select * from tblMovement order by iKTN");
    for (std::size_t r = 0; r < rs.rows().size(); ++r) {
        MovementState state;
        const auto id = rs.rows()[r].at(static_cast<std::size_t>(rs.columnIndex("iMovementID"))).toInt64();
        state.ktn = rs.rows()[r].at(static_cast<std::size_t>(rs.columnIndex("iKTN"))).toInt64();
        state.rowGeneration = rowGeneration(rs, r);
        state.deviation = rs.rows()[r].at(static_cast<std::size_t>(rs.columnIndex("Deviation")));
        c.forEachRow("select iPitchID from tblMovementPitchJoin where iMovementID = ? order by iMovementPitchID",
                     {Value(id)}, [&](const std::vector<Value>& row) {
                         state.sequence.push_back(static_cast<std::int32_t>(row[0].toInt64()));
                     });
        movements[id] = std::move(state);
    }
    return movements;
}

/// Writes generation g with the movement window's logic: a save of each fixed movement, its sequence, its
/// tabulation, then a new movement for g and the deletion of those two or more generations older. Reports
/// each finished step on the pipe when one is given.
void writeGeneration(
    MovementController& ctl, test::FakeMovementView& view, const Vocabulary& v, std::int64_t g, int progress)
{
    const auto step = [&] {
        if (progress >= 0) {
            const char done = 's';
            [[maybe_unused]] const auto written = ::write(progress, &done, 1);
        }
    };
    const auto check = [](bool ok, int code) {
        if (!ok) {
            throw std::runtime_error("step " + std::to_string(code) + " failed");
        }
    };
    const auto setFields = [&] {
        for (const char* field : kTextFields) {
            ctl.SetBoundText(field, generationText(g));
        }
        for (const char* field : kNumberFields) {
            ctl.SetBoundText(field, std::to_string(g));
        }
        view.edits[movement::RichBox::Description] = generationRtf(g);
        view.edits[movement::RichBox::Comments] = generationRtf(g);
    };
    const auto storeSequence = [&](std::int64_t id) {
        const auto ids = generationSequence(v, g);
        const auto stored = pitches::savePitches(ctl.connectionString(), id, ids,
                                                 [&](store::Connection& c) { melody::indexMovement(c, id, ids); });
        check(stored.ok(), 2);
    };
    for (int m = 0; m < kFixedMovements; ++m) {
        check(ctl.GridRowChosen(static_cast<std::size_t>(m)), 0);
        ctl.records().EditMovement(movement::FocusTarget::KTN);
        setFields();
        check(ctl.records().SaveMovement().ok(), 1);
        step();
        storeSequence(ctl.records().iLastMovementID());
        step();
        ctl.TabClick(movement::kTabTabulations);
        check(view.status.empty(), 3);
        ctl.TabClick(movement::kTabMovementData);
        step();
    }
    ctl.records().NewMovement();
    setFields();
    ctl.SetBoundText("iKTN", std::to_string(kExtraKtnBase + g));
    check(ctl.records().SaveMovement().ok(), 4);
    step();
    storeSequence(ctl.records().iLastMovementID());
    step();
    auto& rs = *ctl.records().recordset();
    const auto ktnColumn = static_cast<std::size_t>(rs.columnIndex("iKTN"));
    for (std::size_t row = 0; row < static_cast<std::size_t>(rs.recordCount());) {
        const auto ktn = rs.fieldAt(row, ktnColumn).toInt64();
        if (ktn >= kExtraKtnBase && ktn < kExtraKtnBase + g - 1) {
            check(ctl.GridRowChosen(row), 5);
            view.answers = {true};
            ctl.records().DeleteMovement();
            check(view.told.empty(), 6);
            step();
        } else {
            ++row;
        }
    }
}

/// The child: loads the catalogue and writes generations from `first` on until it is killed.
[[noreturn]] void runWriter(const std::string& connectionString, const Vocabulary& v, std::int64_t first, int progress)
{
    try {
        test::FakeMovementView view;
        MovementController ctl(view, connectionString);
        if (!ctl.Load().ok()) {
            ::_exit(10);
        }
        const char loaded = 'L';
        [[maybe_unused]] const auto written = ::write(progress, &loaded, 1);
        for (std::int64_t g = first;; ++g) {
            writeGeneration(ctl, view, v, g, progress);
        }
    } catch (...) {
        ::_exit(11);
    }
}

/// What the parent knows of a fixed movement after a check: the generation of its row and sequence, and the
/// deviation it held.
struct Known
{
    std::int64_t row = 0;
    std::int64_t sequence = -1; // none yet: any generation's sequence and deviation may come
    double deviation = -1;
};

class CrashSafety : public ::testing::Test
{
protected:
    test::TempCatalogue catalogue;
    Vocabulary vocabulary;
    std::map<std::int64_t, Known> known; // by iMovementID
    std::int64_t newest = 0; // the newest generation seen in any row
    std::int64_t extrasBefore = 0; // the added movements seen at the last check

    void SetUp() override
    {
        {
            auto c = store::Connection::open(catalogue.connectionString(), store::AccessMode::ReadWrite);
            for (int m = 1; m <= kFixedMovements; ++m) {
                c.execute("insert into tblMovement (iKTN, iMvmt, iOrder) values (?, 1, 1)", {Value(m)});
            }
        }
        vocabulary = readVocabulary(catalogue.connectionString());
        // Generation 0 is written in this process, without kills.
        test::FakeMovementView view;
        MovementController ctl(view, catalogue.connectionString());
        ASSERT_TRUE(ctl.Load().ok());
        writeGeneration(ctl, view, vocabulary, 0, -1);
    }

    /// Decodes a stored sequence as one generation in [low, high], or nothing.
    std::optional<std::int64_t>
    sequenceGeneration(const std::vector<std::int32_t>& sequence, std::int64_t low, std::int64_t high) const
    {
        for (std::int64_t g = std::max<std::int64_t>(low, 0); g <= high; ++g) {
            if (generationSequence(vocabulary, g) == sequence) {
                return g;
            }
        }
        return std::nullopt;
    }

    /// Checks the file and every movement against what was known before; updates what is known.
    void verify(const std::string& when)
    {
        const auto problems = tools::catalogueProblems(catalogue.file());
        ASSERT_TRUE(problems.empty()) << when << ": " << problems.front();
        const auto movements = readMovements(catalogue.connectionString());
        std::int64_t fixed = 0;
        std::int64_t extras = 0;
        std::int64_t rowNewest = newest;
        for (const auto& [id, state] : movements) {
            ASSERT_TRUE(state.rowGeneration) << when << ": movement " << id << " holds fields of several generations";
            const std::int64_t g = *state.rowGeneration;
            rowNewest = std::max(rowNewest, g);
            if (state.ktn >= kExtraKtnBase) {
                ++extras;
                ASSERT_EQ(state.ktn, kExtraKtnBase + g) << when;
                ASSERT_TRUE(state.sequence.empty() || state.sequence == generationSequence(vocabulary, g))
                    << when << ": the added movement " << id << " holds a broken sequence";
                continue;
            }
            ++fixed;
            Known& before = known[id];
            ASSERT_GE(g, before.row) << when << ": movement " << id << " went back to an older generation";
            const auto s = sequenceGeneration(state.sequence, before.sequence, g);
            ASSERT_TRUE(s) << when << ": movement " << id << " holds a sequence of no single generation from "
                           << before.sequence << " to " << g;
            ASSERT_TRUE(state.deviation.isReal()) << when;
            // Unchanged, or the tabulation of one of the sequences stored since.
            bool deviationKnown = state.deviation.toDouble() == before.deviation;
            for (std::int64_t d = before.sequence + 1; d <= *s && !deviationKnown; ++d) {
                deviationKnown = state.deviation.toDouble() == generationDeviation(vocabulary, d);
            }
            ASSERT_TRUE(deviationKnown) << when << ": movement " << id << " holds the deviation "
                                        << state.deviation.toDouble() << ", of no sequence it held";
            before = {g, *s, state.deviation.toDouble()};
        }
        ASSERT_EQ(fixed, kFixedMovements) << when;
        // A finished generation keeps the added movements of the last two; one killed between its addition and its
        // deletions leaves one more. Kills in that window one after another may pile them up, one per kill, but
        // never more.
        ASSERT_LE(extras, std::max<std::int64_t>(extrasBefore + 1, 3)) << when;
        extrasBefore = extras;
        newest = rowNewest;
    }
};

TEST_F(CrashSafety, AWriterKilledAtRandomMomentsLeavesWholeStates)
{
    verify("after generation 0");
    for (const auto& [id, state] : known) {
        ASSERT_EQ(state.deviation, generationDeviation(vocabulary, 0)) << "the model of the tabulation is wrong";
    }
    std::mt19937 random(20261207);
    int killedWhileLoading = 0;
    int stepsDone = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeEnds[0]);
            runWriter(catalogue.connectionString(), vocabulary, newest + 1, pipeEnds[1]);
        }
        ::close(pipeEnds[1]);
        // One kill in ten may land while the child opens the catalogue; the others after it has loaded, at a
        // moment somewhere in its next generations.
        const bool early = random() % 10 == 0;
        pollfd readable {pipeEnds[0], POLLIN, 0};
        char byte = 0;
        if (!early) {
            ASSERT_EQ(::poll(&readable, 1, 60000), 1);
            ASSERT_EQ(::read(pipeEnds[0], &byte, 1), 1);
            ASSERT_EQ(byte, 'L');
        }
        ::usleep(static_cast<useconds_t>(random() % (early ? 20000 : 150000)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the writer stopped by itself with status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        bool loaded = !early;
        while (::read(pipeEnds[0], &byte, 1) == 1) {
            if (byte == 'L') {
                loaded = true;
            } else {
                ++stepsDone;
            }
        }
        ::close(pipeEnds[0]);
        killedWhileLoading += loaded ? 0 : 1;
        verify("after kill " + std::to_string(kill + 1));
        if (HasFatalFailure()) {
            return;
        }
    }
    // The kills landed in the middle of the work, not only before or after it.
    EXPECT_GT(stepsDone, kKills);
    EXPECT_GT(newest, 5);
    RecordProperty("kills", kKills);
    RecordProperty("killedWhileLoading", killedWhileLoading);
    RecordProperty("stepsDone", stepsDone);
    RecordProperty("generations", static_cast<int>(newest));
    std::printf("kills %d (while loading %d), steps finished %d, newest generation %lld\n", kKills, killedWhileLoading,
                stepsDone, static_cast<long long>(newest));

    // The catalogue opens and saves normally after all that.
    test::FakeMovementView view;
    MovementController ctl(view, catalogue.connectionString());
    ASSERT_TRUE(ctl.Load().ok());
    writeGeneration(ctl, view, vocabulary, newest + 1, -1);
    verify("after a last generation written without kills");
}

} // namespace
