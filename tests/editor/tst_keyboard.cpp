// The window and its dialogs without a mouse: Tab visits the controls of every page and dialog
// in reading order, the focused control always shows it has the focus, and key events alone
// edit the pages and apply.

#include "editor/numberfield.h"
#include "editor/taborder.h"
#include "formats/language.h"
#include "support/everydialog.h"
#include "support/modalscript.h"
#include "support/setupfixture.h"

#include <QLineEdit>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>

using namespace quillon;

namespace {

QRect placeIn(const QWidget *window, const QWidget *control)
{
    return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

QString describe(const QWidget *window, const QWidget *control)
{
    const QRect at = placeIn(window, control);
    return QStringLiteral("%1(%2,%3)").arg(control->objectName()).arg(at.x()).arg(at.y());
}

// Controls that a switch or a stored value may leave disabled are walked too.
void enableAll(QWidget *root)
{
    for (QWidget *control : root->findChildren<QWidget *>())
        control->setEnabled(true);
}

// What one round of Tab from the start came to.
struct TabRound
{
    QList<QWidget *> stops;
    QStringList lookUnfocused; // controls that look the same with and without the focus
};

// Presses Tab from the start until the focus comes back to it. A time field takes a Tab per
// section before it lets the focus go.
TabRound tabRound(QWidget *start)
{
    // The style marks the focus once the keyboard has moved it.
    start->setFocus(Qt::TabFocusReason);
    QTest::keyClick(start, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    TabRound round;
    QImage focusedLook;
    for (int press = 0; press < 400; ++press) {
        QWidget *focused = QApplication::focusWidget();
        const bool moved = round.stops.isEmpty() || round.stops.last() != focused;
        if (moved && !round.stops.isEmpty() && round.stops.last()->grab().toImage() == focusedLook)
            round.lookUnfocused << round.stops.last()->objectName();
        if (!focused || (round.stops.size() > 1 && focused == start))
            break;
        if (moved) {
            round.stops << focused;
            focusedLook = focused->grab().toImage();
        }
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    return round;
}

// Steps of the round that go back against reading order: up the window without moving on to a
// column further right, or left along the same line.
QStringList stepsBack(const QWidget *window, const QList<QWidget *> &stops)
{
    constexpr int kSameLine = 8;
    QStringList back;
    for (int i = 1; i < stops.size(); ++i) {
        const QRect from = placeIn(window, stops[i - 1]);
        const QRect to = placeIn(window, stops[i]);
        const bool sameLine = std::abs(to.top() - from.top()) <= kSameLine;
        const bool forward = sameLine ? to.left() >= from.left()
                                      : to.top() > from.top() || to.left() >= from.right();
        if (!forward)
            back << describe(window, stops[i - 1]) + QStringLiteral(" -> ")
                    + describe(window, stops[i]);
    }
    return back;
}

// Presses Tab until the target has the focus; false when a round of the window never reaches it.
bool tabTo(QWidget *target)
{
    constexpr int kMostStops = 400;
    for (int stop = 0;
         stop < kMostStops && QApplication::focusWidget() && QApplication::focusWidget() != target;
         ++stop)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget() == target;
}

// Presses Ctrl+Tab until the page control shows the page.
bool pageTo(QTabWidget *pages, const char *sheet)
{
    for (int page = 0; page < pages->count() && QApplication::focusWidget(); ++page) {
        if (pages->currentWidget()->objectName() == QLatin1String(sheet))
            return true;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    }
    return pages->currentWidget()->objectName() == QLatin1String(sheet);
}

void languages()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("Chinese") << QByteArray("zh_CN.UTF-8");
    QTest::newRow("English") << QByteArray("en_US.UTF-8");
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowTabsInReadingOrder_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<bool>("switchToEnglish");
        QTest::newRow("Chinese") << QByteArray("zh_CN.UTF-8") << false;
        QTest::newRow("English") << QByteArray("en_US.UTF-8") << false;
        QTest::newRow("switched to English") << QByteArray("zh_CN.UTF-8") << true;
    }

    // Every page, each inner page of the video page and both views of the users page.
    void windowTabsInReadingOrder()
    {
        QFETCH(QByteArray, locale);
        QFETCH(bool, switchToEnglish);
        m_fixture = std::make_unique<SetupFixture>(locale.constData());
        SetupFixture::copySamples();
        auto form = SetupFixture::showForm();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        if (switchToEnglish)
            control<QAbstractButton>(form.get(), "EnRadioBtn")->click();
        enableAll(form.get());
        auto *pages = control<QTabWidget>(form.get(), "PageControl1");
        auto *videoPages = control<QTabWidget>(form.get(), "PageControl2");
        auto *userViews = control<QStackedWidget>(form.get(), "NotebookUser");
        QStringList back;
        QStringList lookUnfocused;
        int walked = 0;
        for (int page = 0; page < pages->count(); ++page) {
            if (!pages->isTabVisible(page))
                continue;
            pages->setCurrentIndex(page);
            QStackedWidget *views = pages->currentWidget()->isAncestorOf(videoPages)
                ? videoPages->findChild<QStackedWidget *>()
                : pages->currentWidget()->isAncestorOf(userViews) ? userViews
                                                                  : nullptr;
            for (int view = 0; view < (views ? views->count() : 1); ++view) {
                if (views)
                    views->setCurrentIndex(view);
                const TabRound round = tabRound(pages->tabBar());
                back += stepsBack(form.get(), round.stops);
                lookUnfocused += round.lookUnfocused;
                walked += int(round.stops.size());
            }
        }
        QCOMPARE(back, QStringList());
        QCOMPARE(lookUnfocused, QStringList());
        QVERIFY2(walked > 150, qPrintable(QString::number(walked)));
    }

    // The order worked out from where controls stand: a grid of fields line by line, columns
    // beside each other one after the other, a page control's tab bar before its pages.
    void readingOrderOfLayouts_data()
    {
        QTest::addColumn<QList<QRect>>("places");
        QTest::addColumn<QString>("order");
        QTest::newRow("grid") << QList<QRect> {{200, 40, 80, 20}, {20, 40, 80, 20},
            {20, 10, 80, 20}, {200, 10, 80, 20}}
                              << QStringLiteral("2 3 1 0");
        QTest::newRow("columns") << QList<QRect> {{200, 10, 80, 200}, {20, 70, 80, 20},
            {200, 220, 80, 20}, {20, 10, 80, 20}, {20, 40, 80, 20}}
                                 << QStringLiteral("3 4 1 0 2");
        QTest::newRow("line across columns") << QList<QRect> {{20, 80, 80, 20}, {200, 80, 80, 60},
            {20, 10, 260, 20}, {20, 110, 80, 20}}
                                             << QStringLiteral("2 0 3 1");
    }

    void readingOrderOfLayouts()
    {
        QFETCH(QList<QRect>, places);
        QFETCH(QString, order);
        QWidget window;
        QList<QWidget *> fields;
        for (const QRect &place : places) {
            auto *field = new QLineEdit(&window);
            field->setObjectName(QString::number(fields.size()));
            field->setGeometry(place);
            fields << field;
        }
        editor::followReadingOrder(&window);
        QStringList visited;
        QWidget *at = fields.first();
        do {
            visited << at->objectName();
            at = at->nextInFocusChain();
            while (!fields.contains(at))
                at = at->nextInFocusChain();
        } while (at != fields.first());
        while (visited.first() != order.section(QLatin1Char(' '), 0, 0))
            visited.move(0, visited.size() - 1);
        QCOMPARE(visited.join(QLatin1Char(' ')), order);
    }

    void pageControlIsItsTabBar()
    {
        QWidget window;
        auto *pages = new QTabWidget(&window);
        pages->setGeometry(0, 0, 300, 200);
        auto *page = new QWidget;
        pages->addTab(page, QStringLiteral("page"));
        auto *field = new QLineEdit(page);
        auto *after = new QLineEdit(&window);
        after->setGeometry(0, 220, 80, 20);
        editor::followReadingOrder(&window);
        const auto nextStop = [](QWidget *from) {
            QWidget *next = from->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus)
                next = next->nextInFocusChain();
            return next;
        };
        QCOMPARE(pages->focusPolicy(), Qt::NoFocus);
        QCOMPARE(nextStop(pages->tabBar()), field);
        QCOMPARE(nextStop(field), after);
        QCOMPARE(nextStop(after), pages->tabBar());
    }

    void dialogsTabInReadingOrder_data() { languages(); }

    void dialogsTabInReadingOrder()
    {
        QFETCH(QByteArray, locale);
        formats::setChinese(locale.startsWith("zh"));
        EveryDialog dialogs;
        for (QDialog *dialog : dialogs.all()) {
            dialog->show();
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QWidget *first = dialog->focusWidget();
            QVERIFY2(first, qPrintable(dialog->objectName()));
            const TabRound round = tabRound(first);
            QCOMPARE(stepsBack(dialog, round.stops), QStringList());
            QCOMPARE(round.lookUnfocused, QStringList());
            QVERIFY(round.stops.size() >= 3);
            dialog->hide();
        }
    }

    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages nearest the focus from any control, a
    // drop-down list too, past the hidden page.
    void ctrlTabTurnsPagesFromAnyControl()
    {
        m_fixture = std::make_unique<SetupFixture>("zh_CN.UTF-8");
        SetupFixture::copySamples();
        auto form = SetupFixture::showForm();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto *pages = control<QTabWidget>(form.get(), "PageControl1");
        pages->setCurrentIndex(5);
        auto *list = control<QWidget>(form.get(), "PTZComboBox");
        list->setFocus(Qt::TabFocusReason);
        QTest::keyClick(list, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet10"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(pages->currentIndex(), 0);
        QTest::keyClick(
            QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet10"));

        pages->setCurrentIndex(2);
        auto *videoPages = control<QTabWidget>(form.get(), "PageControl2");
        videoPages->setCurrentIndex(0);
        control<QWidget>(form.get(), "CameraNameEdit")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(videoPages->currentIndex(), 1);
        QCOMPARE(pages->currentIndex(), 2);
    }

    // With key events only: paint a motion rectangle, add a timetable segment through the
    // time-segment dialog, step a number field, and apply; the saved files say what was done.
    void keyboardAloneEditsAndApplies()
    {
        SetupFixture fixture;
        SetupFixture::writeSystem(8, 0);
        auto form = SetupFixture::showForm();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto *pages = control<QTabWidget>(form.get(), "PageControl1");
        QVERIFY(QApplication::focusWidget());
        QVERIFY(pageTo(pages, "TabSheet7"));

        auto *panel = control<QWidget>(form.get(), "AlarmPanel");
        QVERIFY(tabTo(panel));
        QTest::keyClick(panel, Qt::Key_Down);
        QTest::keyClick(panel, Qt::Key_Right);
        QTest::keyClick(panel, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(panel, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(panel, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(panel, Qt::Key_Space);
        QTest::keyClick(panel, Qt::Key_Left);
        QTest::keyClick(panel, Qt::Key_Space);

        // The segment dialog opens on the whole day: the start goes to 08:00 with the arrow
        // keys, the end to 12:00 by typing, and Enter confirms.
        ModalScript script;
        script.then([](QWidget *dialog) {
            auto *start = control<QWidget>(dialog, "DateTimePicker1");
            QVERIFY(tabTo(start));
            for (int hour = 0; hour < 8; ++hour)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
            QVERIFY(tabTo(control<QWidget>(dialog, "DateTimePicker2")));
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("120000"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        auto *add = control<QWidget>(form.get(), "MtnAddBitBtn");
        QVERIFY(tabTo(add));
        QTest::keyClick(add, Qt::Key_Space);
        QVERIFY(script.finished());
        // What the window manager does when a dialog closes; the offscreen platform does not.
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(QApplication::focusWidget(), add);

        QVERIFY(pageTo(pages, "TabSheet10"));
        auto *port = control<editor::NumberField>(form.get(), "SpinEdit4");
        QVERIFY(tabTo(port));
        const int stepped = port->value() + 2;
        QTest::keyClick(port, Qt::Key_Up);
        QTest::keyClick(port, Qt::Key_Up);

        auto *apply = control<QAbstractButton>(form.get(), "ApplyBitBtn");
        QVERIFY(tabTo(apply));
        QTest::keyClick(apply, Qt::Key_Space);
        QVERIFY(!apply->isEnabled());
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ALARM MOTION0", "1"), QByteArray(10, '0'));
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ALARM MOTION0", "2"), QByteArray("0111000000"));
        QCOMPARE(
            SetupFixture::value("AlarmSet.Ext", "ALARM MOTION0", "3"), QByteArray("0101000000"));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ALARM MOTION0", "4"), QByteArray(10, '0'));
        QCOMPARE(SetupFixture::value("AlarmSet.Ext", "ALARM RECORD TABLE0", "1"),
            QByteArray("1,08:00-12:00,"));
        QCOMPARE(SetupFixture::value("SysSet.Ext", "Transfers Options", "TransmitPort"),
            QByteArray::number(stepped));
    }

private:
    std::unique_ptr<SetupFixture> m_fixture;
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
