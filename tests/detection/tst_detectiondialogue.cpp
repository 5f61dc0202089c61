#include "detectiondialogue.h"
#include "deviationhistogram.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

namespace {

const Qt::WindowFlags idleFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;

// A dialog opened window-modal over a shown parent, as the main window does,
// with its controls looked up the way a user sees them.
struct OpenDialog
{
    OpenDialog()
    {
        parent.show();
        dialog->open();
        // The detection box holds status, progress, count and error, in that order.
        QLayout* detection = group("Detection")->layout();
        status = qobject_cast<QLabel*>(detection->itemAt(0)->widget());
        count = qobject_cast<QLabel*>(detection->itemAt(2)->widget());
        error = qobject_cast<QLabel*>(detection->itemAt(3)->widget());
    }

    QGroupBox* group(const char* title) const
    {
        for (QGroupBox* box : dialog->findChildren<QGroupBox*>()) {
            if (box->title() == QLatin1String(title))
                return box;
        }
        return nullptr;
    }

    void pressStart() const
    {
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    bool looks(bool detecting) const
    {
        const QVector<bool> enabled{buttons->isEnabled(), clear->isEnabled(), spin->isEnabled(),
                                    slider->isEnabled()};
        return dialog->windowFlags() ==
                   (detecting ? idleFlags | Qt::CustomizeWindowHint : idleFlags) &&
               enabled == QVector<bool>(4, !detecting) && dialog->isVisible() &&
               status->text() == (detecting ? QStringLiteral("Please Wait...") : QString());
    }

    QWidget parent;
    DetectionDialogue* dialog = new DetectionDialogue(&parent);
    QSpinBox* spin = dialog->findChild<QSpinBox*>();
    QSlider* slider = dialog->findChild<QSlider*>();
    QCheckBox* clear = dialog->findChild<QCheckBox*>();
    QDialogButtonBox* buttons = dialog->findChild<QDialogButtonBox*>();
    QProgressBar* progress = dialog->findChild<QProgressBar*>();
    QLabel* status;
    QLabel* count;
    QLabel* error;
};

} // namespace

class TestDetectionDialogue : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        OpenDialog d;
        QCOMPARE(d.dialog->windowModality(), Qt::WindowModal);
        // Top to bottom: instruction, preferences, detection, evidence, buttons.
        QLayout* layout = d.dialog->layout();
        const auto* instruction = qobject_cast<QLabel*>(layout->itemAt(0)->widget());
        QCOMPARE((QVector<QWidget*>{layout->itemAt(1)->widget(), layout->itemAt(2)->widget(),
                                    layout->itemAt(3)->widget(), layout->itemAt(4)->widget()}),
                 (QVector<QWidget*>{d.group("Preferences"), d.group("Detection"),
                                    d.group("Evidence"), d.buttons}));
        for (QWidget* preference : QWidgetList{d.spin, d.slider, d.clear})
            QVERIFY(d.group("Preferences")->isAncestorOf(preference));
        QVERIFY(d.group("Detection")->isAncestorOf(d.progress));

        // The other mode says what the sensor must see instead.
        QVERIFY(instruction->text().startsWith(QStringLiteral("Cover the sensor")));
        d.group("Preferences")->findChild<QComboBox*>()->setCurrentIndex(1);
        QCOMPARE(d.dialog->mode(), CaptureRecord::Mode::DeadPixels);
        QVERIFY(instruction->text().startsWith(QStringLiteral("Light the sensor evenly")));
        QVERIFY(d.looks(false));
    }

    void startSendsChoices_data()
    {
        QTest::addColumn<int>("entered");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("sent");

        QTest::newRow("defaults") << 40 << false << 40;
        QTest::newRow("lowest threshold") << 5 << false << 5;
        QTest::newRow("highest threshold, clearing") << 255 << true << 255;
        QTest::newRow("below range refused") << 4 << false << 5;
        QTest::newRow("above range refused") << 256 << true << 255;
    }

    void startSendsChoices()
    {
        QFETCH(int, entered);
        QFETCH(bool, clear);
        QFETCH(int, sent);

        OpenDialog d;
        QSignalSpy started(d.dialog, &DetectionDialogue::startDetect);
        d.spin->setValue(entered);
        QCOMPARE(d.slider->value(), sent);
        d.clear->setChecked(clear);
        d.pressStart();
        QCOMPARE(QList<QVariantList>(started), (QList<QVariantList>{{clear, sent}}));
    }

    void run_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("abort");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("count");

        QTest::newRow("finished keeps the progress") << QString() << false << 100 << "42";
        QTest::newRow("aborted resets the progress") << QString() << true << 0 << "42";
        QTest::newRow("failed shows a dash as count")
            << "Image format not supported. Please restart detection." << false << 100 << "-";
    }

    // Twice in a row: a run starts afresh, and the dialog is set for it when
    // the window hears of the start.
    void run()
    {
        QFETCH(QString, failure);
        QFETCH(bool, abort);
        QFETCH(int, progress);
        QFETCH(QString, count);

        OpenDialog d;
        d.dialog->addDetectedPixel(3);
        d.dialog->showError(QStringLiteral("Earlier failure."));
        QList<bool> setAtStart;
        connect(d.dialog, &DetectionDialogue::startDetect, d.dialog, [&] {
            setAtStart << (d.looks(true) && d.error->text().isEmpty() &&
                           d.count->text() == QStringLiteral("Hot pixel detected: 0"));
        });
        for (int run = 0; run < 2; ++run) {
            d.pressStart();
            d.dialog->updateProgress(30);
            QCOMPARE(d.progress->value(), 30);
            d.dialog->updateProgress(100);
            d.dialog->addDetectedPixel(12);
            d.dialog->addDetectedPixel(30);
            if (!failure.isEmpty())
                d.dialog->showError(failure);
            abort ? d.dialog->abortDetect() : d.dialog->finishDetect();

            QVERIFY(d.looks(false));
            QCOMPARE(d.progress->value(), progress);
            QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: ") + count);
            QCOMPARE(d.error->text(), failure);
        }
        QCOMPARE(setAtStart, (QList<bool>{true, true}));
    }

    void keys_data()
    {
        QTest::addColumn<bool>("detecting");
        QTest::addColumn<int>("key");

        QTest::newRow("escape detecting") << true << int(Qt::Key_Escape);
        QTest::newRow("enter idle") << false << int(Qt::Key_Return);
        QTest::newRow("keypad enter idle") << false << int(Qt::Key_Enter);
    }

    // Neither starts nor closes; Escape and Close close an idle dialog.
    void keys()
    {
        QFETCH(bool, detecting);
        QFETCH(int, key);

        OpenDialog d;
        if (detecting)
            d.pressStart();
        QSignalSpy started(d.dialog, &DetectionDialogue::startDetect);
        QSignalSpy rejected(d.dialog, &QDialog::rejected);
        // Sent to the dialog and to a control that passes the key on to it.
        QTest::keyClick(d.dialog, Qt::Key(key));
        if (!detecting)
            QTest::keyClick(d.spin, Qt::Key(key));
        QVERIFY(started.isEmpty() && rejected.isEmpty() && d.looks(detecting));

        OpenDialog idle;
        QTest::keyClick(idle.spin, Qt::Key_Escape);
        QTest::mouseClick(d.buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
        QVERIFY(!idle.dialog->isVisible() && d.dialog->isVisible() == detecting);
    }

    void evidenceFollowsThreshold()
    {
        OpenDialog d;
        QSignalSpy changed(d.dialog, &DetectionDialogue::thresholdChanged);
        QSignalSpy add(d.dialog, &DetectionDialogue::addRequested);
        auto* addButton = d.group("Evidence")->findChild<QPushButton*>();
        d.spin->setValue(50);
        QVERIFY(changed.isEmpty());
        QVERIFY(!addButton->isEnabled());

        const DeviationHistogram histogram({4, 4}, 5, {});
        CaptureRecord record;
        record.exposureMs = 12.5;
        record.gain = 3;
        record.frames = 10;
        d.dialog->showEvidence(&histogram, record);
        d.dialog->showCandidateCount(7, 2);
        QStringList texts;
        for (const QLabel* label : d.group("Evidence")->findChildren<QLabel*>())
            texts << label->text();
        QVERIFY(texts.contains(
            QStringLiteral("Hot pixels, sensor covered: 10 frames at exposure 12.50 ms, gain 3")));
        QVERIFY(texts.contains(QStringLiteral("7 pixels above threshold, 2 of them new")));

        d.slider->setValue(60);
        QTest::mouseClick(addButton, Qt::LeftButton);
        QCOMPARE(QList<QVariantList>(changed), (QList<QVariantList>{{60}}));
        QCOMPARE(QList<QVariantList>(add), (QList<QVariantList>{{60}}));

        // A new run takes the evidence away until the window shows the next.
        d.pressStart();
        QVERIFY(!addButton->isEnabled());
        d.spin->setValue(70);
        QCOMPARE(changed.size(), 1);
    }
};

QTEST_MAIN(TestDetectionDialogue)
#include "tst_detectiondialogue.moc"
