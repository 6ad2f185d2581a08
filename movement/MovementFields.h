#pragma once

#include <array>
#include <cstddef>

namespace velk::movement
{

/// How a movement column is shown and checked.
enum class FieldKind
{
    WholeNumber, ///< a bound text box; the save refuses a text that is no whole number
    Text, ///< a bound text box
    Check, ///< a bound check box
    RichText, ///< a rich-text box, written only when edited
    Figure ///< shown in the grid only
};

/// The page a field is entered on.
enum class FieldPage
{
    None,
    MovementData,
    Subjects
};

/// One column of tblMovement as the window knows it: its label and controls on its page, its place in the
/// order the fields are opened and closed in, and its column in the movement grid.
struct MovementField
{
    const char* column;
    FieldKind kind;
    FieldPage page;
    const char* label; ///< the caption beside the box, or of the check box; the save's name for it
    const char* labelName; ///< object name of the label (empty for a check box)
    const char* controlName; ///< object name of the box
    int enableOrder; ///< place in the order the fields are opened in; -1 for none
    const char* gridCaption; ///< empty: not in the grid
    int gridWidthTwips;
};

inline constexpr std::size_t kMovementFieldCount = 22;

namespace fields
{
using K = FieldKind;
using P = FieldPage;
/// The movement's fields in the order of their page's layout (and of the grid's columns).
inline constexpr std::array<MovementField, kMovementFieldCount> kMovementFields {{
    {"iKTN", K::WholeNumber, P::MovementData, "KTN", "lblKTN", "txtKTN", 1, "KTN", 645},
    {"iMvmt", K::WholeNumber, P::MovementData, "Mvt.", "lblMvmt", "txtMvmt", 5, "Mvt.", 630},
    {"iOrder", K::WholeNumber, P::MovementData, "Order #", "lblOrder", "txtOrder", 7, "Ord", 630},
    {"txtComposed", K::Text, P::MovementData, "TC/FP", "Label3", "txtComposed", 13, "TC/FP", 1605},
    {"iLength", K::WholeNumber, P::MovementData, "Mm.", "lblMm", "txtMm", 4, "Mm.", 630},
    {"i12in", K::WholeNumber, P::MovementData, "12 in", "lbl12in", "txt12in", 0, "12in", 645},
    {"strOpeningKey", K::Text, P::MovementData, "Opening Key", "lblOpening", "txtOpening", 6, "OK", 525},
    {"strClosingKey", K::Text, P::MovementData, "Closing Key", "lblClosing", "txtClosing", 2, "CK", 525},
    {"chkSoprano", K::Check, P::MovementData, "Soprano", "", "chkSoprano", 12, "S", 255},
    {"chkAlto", K::Check, P::MovementData, "Alto", "", "chkAlto", 9, "A", 255},
    {"chkTenor", K::Check, P::MovementData, "Tenor", "", "chkTenor", 11, "T", 255},
    {"chkBass", K::Check, P::MovementData, "Bass", "", "chkBass", 10, "B", 255},
    {"chkAccompanied", K::Check, P::MovementData, "Accompanied", "", "chkAccomp", 8, "Acc", 495},
    {"Deviation", K::Figure, P::None, "", "", "", -1, "Dev.", 645},
    {"Description", K::RichText, P::MovementData, "Dremm's Handbook", "lblComments", "txtDescription", 3, "", 0},
    {"Sub1", K::Text, P::Subjects, "Subject 1", "lblSub1", "txtSub1", 14, "", 0},
    {"Sub2", K::Text, P::Subjects, "Subject 2", "lblSub2", "txtSub2", 15, "", 0},
    {"Sub3", K::Text, P::Subjects, "Subject 3", "lblkSub3", "txtSub3", 16, "", 0},
    {"Sub4", K::Text, P::Subjects, "Subject 4", "lblSub4", "txtSub4", 17, "", 0},
    {"Sub5", K::Text, P::Subjects, "Subject 5", "lblSub5", "txtSub5", 18, "", 0},
    {"Sub6", K::Text, P::Subjects, "Subject 6", "lblSub6", "txtSub6", 19, "", 0},
    {"txtComments", K::RichText, P::Subjects, "Comments", "Label7", "txtComments", 20, "", 0},
}};
} // namespace fields

constexpr const std::array<MovementField, kMovementFieldCount>& movementFields()
{
    return fields::kMovementFields;
}

/// The fields that open and close with an edit, in the order they are opened and closed in.
inline std::array<const MovementField*, 21> fieldsInEnableOrder()
{
    std::array<const MovementField*, 21> order {};
    for (const auto& field : movementFields()) {
        if (field.enableOrder >= 0) {
            order[static_cast<std::size_t>(field.enableOrder)] = &field;
        }
    }
    return order;
}

} // namespace velk::movement
