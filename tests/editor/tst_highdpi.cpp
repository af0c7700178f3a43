// At a scale factor of 2 the window's own drawings are made for the device: thin lines one device
// pixel thin on their cell's edge, the motion hatch as large as at 1x yet sharp, and the message
// icons at the screen's density.

#include "editor/messageicons.h"
#include "editor/motiongrid.h"
#include "editor/setupcontext.h"
#include "support/setupfixture.h"

#include <QMessageBox>
#include <QTabWidget>
#include <QTreeWidget>

using namespace quillon;

namespace {

constexpr int kRatio = 2;

QImage pictureOf(QWidget *widget)
{
    const QPixmap picture = widget->grab();
    if (picture.devicePixelRatio() != kRatio)
        qFatal("the widget is drawn at ratio %g", picture.devicePixelRatio());
    return picture.toImage();
}

} // namespace

class TestHighDpi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_fixture = std::make_unique<SetupFixture>("en_US.UTF-8");
        SetupFixture::copySamples();
    }

    // The red frames of neighbouring cells meet without a seam, each one device pixel thin, and
    // an armed cell's hatch repeats every 8 logical pixels with one-device-pixel diagonals.
    void motionGrid()
    {
        auto form = SetupFixture::showForm();
        control<QTabWidget>(form.get(), "PageControl1")
            ->setCurrentIndex(int(editor::PageIndex::Motion));
        auto *cell = control<editor::MotionCell>(form.get(), "MotionCell0_1");
        cell->setArmed(true);
        const QImage panel = pictureOf(cell->parentWidget());
        const int width = editor::MotionCell::kWidth * kRatio;
        const int height = editor::MotionCell::kHeight * kRatio;
        QCOMPARE(panel.width(), editor::kGridColumns * width);

        const QColor red(255, 0, 0);
        const int middle = height / 2;
        const auto colourAt = [&panel](int x, int y) {
            return panel.pixelColor(x, y);
        };
        QCOMPARE(colourAt(0, middle), red);
        QVERIFY(colourAt(1, middle) != red);
        QVERIFY(colourAt(width - 2, middle) != red);
        QCOMPARE(colourAt(width - 1, middle), red);
        QCOMPARE(colourAt(width, middle), red);
        QVERIFY(colourAt(width + 1, middle) != red);

        const QColor green(0, 255, 0);
        const int period = 8 * kRatio;
        QStringList wrong;
        for (int y = 1; y < height - 1; ++y) {
            for (int x = 1; x < width - 1; ++x) {
                const bool onDiagonal = x % period == y % period || (x + y) % period == period - 1;
                if ((colourAt(width + x, y) == green) != onDiagonal)
                    wrong << QStringLiteral("(%1,%2)").arg(x).arg(y);
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 20).join(QLatin1Char(' '))));
    }

    void motionGridAtFractionalRatios_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1.25") << 1.25;
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("1.75") << 1.75;
    }

    // Where cells fall between device pixels, every border between neighbours is still two
    // device pixels of red, one from each cell: no cell paints over its neighbour's frame and
    // none leaves a seam.
    void motionGridAtFractionalRatios()
    {
        QFETCH(qreal, ratio);
        auto form = SetupFixture::showForm();
        control<QTabWidget>(form.get(), "PageControl1")
            ->setCurrentIndex(int(editor::PageIndex::Motion));
        QWidget *panel = control<QWidget>(form.get(), "MotionCell0_0")->parentWidget();
        QPixmap picture(QSizeF(panel->size() * ratio).toSize());
        picture.setDevicePixelRatio(ratio);
        panel->render(&picture);
        const QImage image = picture.toImage();

        const QColor red(255, 0, 0);
        const int y = qRound(editor::MotionCell::kHeight * ratio / 2);
        QList<int> runs;
        for (int x = 0, run = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == red) {
                ++run;
            } else if (run > 0) {
                runs << run;
                run = 0;
            }
        }
        QCOMPARE(runs.size(), editor::kGridColumns);
        QCOMPARE(runs.first(), 1);
        for (int border = 1; border < runs.size(); ++border)
            QCOMPARE(runs[border], 2);
    }

    // The timetable's grid line right of a cell is its last device pixel column alone.
    void timetableGridLines()
    {
        auto form = SetupFixture::showForm();
        control<QTabWidget>(form.get(), "PageControl1")
            ->setCurrentIndex(int(editor::PageIndex::Video));
        control<QTabWidget>(form.get(), "PageControl2")
            ->setCurrentIndex(int(editor::VideoInnerPage::Timetable));
        auto *list = control<QTreeWidget>(form.get(), "RecordListView0");
        QVERIFY(list->topLevelItemCount() > 0);
        const QRect cell = list->visualItemRect(list->topLevelItem(0));
        const int column = list->columnWidth(0) - 1;
        const QImage viewport = pictureOf(list->viewport());
        const QColor line(0xd0, 0xd0, 0xd0);
        const int y = (cell.top() + cell.height() / 2) * kRatio;
        QCOMPARE(viewport.pixelColor(column * kRatio + 1, y), line);
        QVERIFY(viewport.pixelColor(column * kRatio, y) != line);
        const int bottom = cell.bottom() * kRatio + 1;
        QCOMPARE(viewport.pixelColor(kRatio * 4, bottom), line);
        QVERIFY(viewport.pixelColor(kRatio * 4, bottom - 1) != line);
    }

    // A message icon is drawn with a device pixel for each device pixel of the screen, and the
    // box still announces the kind of its message.
    void messageIcon()
    {
        auto form = SetupFixture::showForm();
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
            QStringLiteral("Notice"), QMessageBox::Ok, form.get());
        editor::useScalableIcon(box);
        const QPixmap icon = box.iconPixmap();
        QCOMPARE(box.icon(), QMessageBox::Information);
        QCOMPARE(icon.devicePixelRatio(), qreal(kRatio));
        QCOMPARE(icon.deviceIndependentSize().toSize() * kRatio, icon.size());
    }

private:
    std::unique_ptr<SetupFixture> m_fixture;
};

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", QByteArray::number(kRatio));
    QApplication app(argc, argv);
    TestHighDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
