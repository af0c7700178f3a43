#pragma once

#include "formats/schedule.h"

#include <QDialog>
#include <QTime>

class QComboBox;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace quillon::editor {

// The time-segment dialog of the weekly timetables: a start and an end time of day and, in
// the recording timetable, the day or night mode. OK refuses a start later than the end and a
// segment that overlaps another segment of the day, and stays open. Made for one use with the
// setup window as owner.
class TRecTimeSetForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kNoSegment = -1;

    explicit TRecTimeSetForm(QWidget *owner);

    // The times to show, the mode position to select (0 day, 1 night), the day's segments to
    // check against and the position among them of the segment being edited (kNoSegment when
    // adding).
    void setSegment(const QTime &start, const QTime &end, int modePosition);
    void setDay(const formats::DaySegments &day, int editedSegment);
    // Hides the mode row, for the timetables without a mode.
    void hideMode();

    // "hh:nn" of the pickers.
    QByteArray startText() const;
    QByteArray endText() const;
    int modePosition() const;
    QString modeText() const;

public Q_SLOTS:
    void BitBtn1Click();

private:
    formats::DaySegments m_day;
    int m_editedSegment = kNoSegment;
    QLabel *Label1 = nullptr;
    QTimeEdit *DateTimePicker1 = nullptr;
    QLabel *Label2 = nullptr;
    QTimeEdit *DateTimePicker2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
};

// The display text of a recording mode in the current language: 91 day mode, any other code
// night mode.
QString modeTextFor(QByteArrayView modeCode);

} // namespace quillon::editor
