#pragma once

#include "editor/setupcontext.h"
#include "formats/systemsettings.h"
#include "schema/schema.h"
#include "settings/profilestore.h"

#include <QWidget>

class QLineEdit;

#include <functional>
#include <initializer_list>
#include <variant>
#include <vector>

namespace quillon::editor {

// Controls bound to the settings they show. Each control is found on the page by its object
// name and its setting by that name in the schema, so key, default and range are declared only
// there. What a control shows follows from its type: a check box a flag, a radio button a flag
// (off checks the other button of its pair), a number field or a track bar a number within the
// schema's range, a list the stored index (an index the list lacks is kept as stored), a line
// edit a text (written back with its stored bytes while it shows what was read) or a number
// within the range, written back as the digits it shows (blank when it shows none). A number field
// or line edit shows a stored number outside its range clamped, but writes the stored number back
// until the operator changes it; a missing key's default is written as the control shows it.
// The controls are written in the order they are listed.
class Bindings
{
public:
    // How a line edit shows its text.
    enum class Ends { AsStored, Trimmed };
    // The context's change hook the bound controls call.
    using ChangeHook = std::function<void()> SetupContext::*;

    explicit Bindings(ChangeHook noteChange = &SetupContext::noteChange) : m_noteChange(noteChange)
    { }

    // Binds controls already built on the page (lists filled), in the order they are written;
    // each call adds to the ones before. A number field or track bar takes its range here, and
    // every control notes a change when it is edited.
    void bind(SetupContext &context, const QWidget *page,
        std::initializer_list<const char *> controls, Ends ends = Ends::AsStored);

    // Shows the settings of a file; index is the channel or sensor (ignored for fixed sections).
    void load(const settings::ProfileFile &file, int index = -1);
    // Writes what the controls show.
    void save(const settings::ProfileFile &file, int index = -1) const;

    // The values the controls show, one per control, taken at once so that a copy to several
    // channels writes the same values to each.
    using Value = std::variant<qint32, QByteArray>;
    using Shown = std::vector<Value>;
    Shown shown() const;
    void write(const settings::ProfileFile &file, const Shown &values, int index = -1) const;

private:
    struct Bound
    {
        QWidget *control;
        const schema::Setting *setting;
        // The value read for a list or a number: a list keeps it while no entry is selected,
        // a number field or line edit while it shows what it showed on load.
        qint32 stored = 0;
        qint32 shownOnLoad = 0;
        formats::StoredText text;
        Ends ends = Ends::AsStored;
    };

    // What a line edit writes: a text's bytes, or a number's digits as shown (the stored
    // number while it shows what it showed on load).
    static Value lineEditValue(const Bound &bound, const QLineEdit &edit);

    ChangeHook m_noteChange;
    std::vector<Bound> m_bound;
};

} // namespace quillon::editor
