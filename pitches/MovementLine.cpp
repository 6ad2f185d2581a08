#include "pitches/MovementLine.h"

#include "store/Connection.h"
#include "store/ResultSet.h"
#include "store/Schema.h"
#include "store/Value.h"

#include <stdexcept>
#include <string>

namespace velk::pitches
{

int OctaveSetting::capitalOctave() const
{
    return pitches::capitalOctave(stored, voices);
}

std::optional<OctaveSetting> loadOctaveSetting(store::Connection& connection, std::int64_t movementId)
{
    const bool hasOctave = store::hasColumn(connection, "tblMovement", kCapitalOctaveColumn);
    const std::string octaveColumn = hasOctave ? kCapitalOctaveColumn : "NULL";
    const store::ResultSet movement = connection.query("SELECT chkSoprano, chkAlto, chkTenor, chkBass, " + octaveColumn
                                                           + " FROM tblMovement WHERE iMovementID = ?",
                                                       {store::Value(movementId)});
    if (movement.recordCount() == 0) {
        return std::nullopt;
    }
    const auto& row = movement.rows().front();
    OctaveSetting setting;
    setting.voices = {row.at(0).toBool(), row.at(1).toBool(), row.at(2).toBool(), row.at(3).toBool()};
    if (!row.at(4).isNull() && row.at(4).isInteger()) {
        setting.stored = row.at(4).toInt64();
    }
    return setting;
}

std::optional<MovementLine> loadMovementLine(store::Connection& connection, std::int64_t movementId)
{
    const std::optional<OctaveSetting> setting = loadOctaveSetting(connection, movementId);
    if (!setting) {
        return std::nullopt;
    }
    MovementLine result;
    result.movementId = movementId;
    result.voices = setting->voices;
    result.storedOctave = setting->stored;
    std::vector<std::string> spellings;
    connection.forEachRow("SELECT j.iPitchID, p.txtPitch FROM tblMovementPitchJoin j "
                          "LEFT JOIN tblPitchLookup p ON p.iPitchID = j.iPitchID "
                          "WHERE j.iMovementID = ? ORDER BY j.iMovementPitchID",
                          {store::Value(movementId)}, [&](const std::vector<store::Value>& position) {
                              result.pitchIds.push_back(static_cast<std::int32_t>(position.at(0).toInt64()));
                              spellings.push_back(position.at(1).isNull() ? std::string() : position.at(1).toText());
                          });
    result.line = notateLine(spellings, setting->capitalOctave());
    return result;
}

void storeCapitalOctave(store::Connection& connection, std::int64_t movementId, std::optional<int> octave)
{
    if (octave && (*octave < kLowestCapitalOctave || *octave > kHighestCapitalOctave)) {
        throw std::invalid_argument("The octave of the capitals is 2, 3 or 4.");
    }
    store::Transaction transaction(connection);
    connection.execute(std::string("UPDATE tblMovement SET ") + kCapitalOctaveColumn + " = ? WHERE iMovementID = ?",
                       {octave ? store::Value(std::int64_t {*octave}) : store::Value(), store::Value(movementId)});
    transaction.commit();
}

} // namespace velk::pitches
