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

#include <memory>

namespace {

const Qt::WindowFlags idleFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;

// A dialog opened window-modal over a shown parent, as the main window does,
// with its controls looked up the way a user sees them.
struct OpenDialog
{
    OpenDialog()
    {
        parent.resize(600, 400);
        parent.show();
        dialog = new DetectionDialogue(&parent);
        dialog->open();
        spin = dialog->findChild<QSpinBox*>();
        slider = dialog->findChild<QSlider*>();
        clear = dialog->findChild<QCheckBox*>();
        buttons = dialog->findChild<QDialogButtonBox*>();
        progress = dialog->findChild<QProgressBar*>();
        // The detection box holds status, progress, count and error, in that order.
        QLayout* detection = group(QStringLiteral("Detection"))->layout();
        status = qobject_cast<QLabel*>(detection->itemAt(0)->widget());
        count = qobject_cast<QLabel*>(detection->itemAt(2)->widget());
        error = qobject_cast<QLabel*>(detection->itemAt(3)->widget());
    }

    QGroupBox* group(const QString& title) const
    {
        for (QGroupBox* box : dialog->findChildren<QGroupBox*>()) {
            if (box->title() == title)
                return box;
        }
        return nullptr;
    }

    QPushButton* start() const { return buttons->button(QDialogButtonBox::Ok); }
    QPushButton* close() const { return buttons->button(QDialogButtonBox::Close); }
    void pressStart() const { QTest::mouseClick(start(), Qt::LeftButton); }

    bool looksIdle() const
    {
        return dialog->windowFlags() == idleFlags && buttons->isEnabled() && clear->isEnabled() &&
               spin->isEnabled() && slider->isEnabled() && status->text().isEmpty() &&
               dialog->isVisible();
    }

    bool looksDetecting() const
    {
        return dialog->windowFlags() == (idleFlags | Qt::CustomizeWindowHint) &&
               !buttons->isEnabled() && !clear->isEnabled() && !spin->isEnabled() &&
               !slider->isEnabled() && status->text() == QStringLiteral("Please Wait...") &&
               dialog->isVisible();
    }

    QWidget parent;
    DetectionDialogue* dialog;
    QSpinBox* spin;
    QSlider* slider;
    QCheckBox* clear;
    QDialogButtonBox* buttons;
    QProgressBar* progress;
    QLabel* status;
    QLabel* count;
    QLabel* error;
};

} // namespace

class TestDetectionDialogue : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndTexts();
    void thresholdRange();
    void startSendsChoices_data();
    void startSendsChoices();
    void startEntersDetecting();
    void endOfRun_data();
    void endOfRun();
    void countsAddedPixels();
    void errorShowsDashAsCount();
    void keys_data();
    void keys();
    void evidenceFollowsThreshold();
    void closeButtonClosesIdleDialog();
    void secondRunStartsAfresh();
};

void TestDetectionDialogue::layoutAndTexts()
{
    OpenDialog d;
    QCOMPARE(d.dialog->windowTitle(), QStringLiteral("Hot pixel detection"));
    QCOMPARE(d.dialog->minimumWidth(), 400);
    QCOMPARE(d.dialog->windowFlags(), idleFlags);
    QCOMPARE(d.dialog->windowModality(), Qt::WindowModal);

    // Top to bottom: instruction, preferences, detection, evidence, buttons.
    QLayout* layout = d.dialog->layout();
    QCOMPARE(layout->count(), 5);
    const auto* instruction = qobject_cast<QLabel*>(layout->itemAt(0)->widget());
    QVERIFY(instruction);
    QCOMPARE(instruction->text(),
             QStringLiteral("Cover the sensor completely during capturing!\n"));
    QCOMPARE(layout->itemAt(1)->widget(), d.group(QStringLiteral("Preferences")));
    QCOMPARE(layout->itemAt(2)->widget(), d.group(QStringLiteral("Detection")));
    QCOMPARE(layout->itemAt(3)->widget(), d.group(QStringLiteral("Evidence")));
    QCOMPARE(layout->itemAt(4)->widget(), d.buttons);

    // The other mode says what the sensor must see instead.
    auto* mode = d.group(QStringLiteral("Preferences"))->findChild<QComboBox*>();
    mode->setCurrentIndex(1);
    QCOMPARE(d.dialog->mode(), CaptureRecord::Mode::DeadPixels);
    QVERIFY(instruction->text().startsWith(QStringLiteral("Light the sensor evenly")));

    QGroupBox* preferences = d.group(QStringLiteral("Preferences"));
    QVERIFY(preferences->isAncestorOf(d.spin));
    QVERIFY(preferences->isAncestorOf(d.slider));
    QVERIFY(preferences->isAncestorOf(d.clear));
    const QList<QLabel*> preferenceLabels = preferences->findChildren<QLabel*>();
    QCOMPARE(preferenceLabels.size(), 2);
    QCOMPARE(preferenceLabels.last()->text(), QStringLiteral("Threshold"));
    // Label, slider and spin box side by side above the check box.
    const QRect label = preferenceLabels.last()->geometry();
    QVERIFY(label.top() < d.slider->geometry().bottom());
    QVERIFY(d.slider->geometry().top() < label.bottom());
    QVERIFY(label.x() < d.slider->x());
    QVERIFY(d.slider->x() < d.spin->x());
    QVERIFY(d.clear->y() > d.spin->y());

    QCOMPARE(d.clear->text(), QStringLiteral("Clear old hot pixel list"));
    QVERIFY(!d.clear->isChecked());
    QVERIFY(d.group(QStringLiteral("Detection"))->isAncestorOf(d.progress));
    QCOMPARE(d.progress->minimum(), 0);
    QCOMPARE(d.progress->maximum(), 100);
    QVERIFY(d.status->text().isEmpty());
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: 0"));
    QVERIFY(d.error->text().isEmpty());
    QVERIFY(d.error->wordWrap());

    QCOMPARE(d.buttons->buttons().size(), 2);
    QCOMPARE(d.start()->text(), QStringLiteral("Start"));
    QVERIFY(d.close());
    QVERIFY(d.looksIdle());
}

void TestDetectionDialogue::thresholdRange()
{
    OpenDialog d;
    QCOMPARE(d.spin->minimum(), 5);
    QCOMPARE(d.spin->maximum(), 255);
    QCOMPARE(d.spin->value(), 40);
    QCOMPARE(d.spin->singleStep(), 1);
    QCOMPARE(d.slider->minimum(), 5);
    QCOMPARE(d.slider->maximum(), 255);
    QCOMPARE(d.slider->value(), 40);
}

void TestDetectionDialogue::startSendsChoices_data()
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

void TestDetectionDialogue::startSendsChoices()
{
    QFETCH(int, entered);
    QFETCH(bool, clear);
    QFETCH(int, sent);

    OpenDialog d;
    QSignalSpy started(d.dialog, &DetectionDialogue::startDetect);
    d.spin->setValue(entered);
    QCOMPARE(d.spin->value(), sent);
    d.clear->setChecked(clear);
    d.pressStart();
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().at(0).toBool(), clear);
    QCOMPARE(started.first().at(1).toInt(), sent);
}

void TestDetectionDialogue::startEntersDetecting()
{
    OpenDialog d;
    d.dialog->addDetectedPixel(3);
    d.dialog->showError(QStringLiteral("Earlier failure."));
    // What the dialog shows is already in place when the window hears of the start.
    bool detectingAtSignal = false;
    connect(d.dialog, &DetectionDialogue::startDetect, d.dialog,
            [&d, &detectingAtSignal] { detectingAtSignal = d.looksDetecting(); });

    d.pressStart();
    QVERIFY(detectingAtSignal);
    QVERIFY(d.looksDetecting());
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: 0"));
    QVERIFY(d.error->text().isEmpty());
    QVERIFY(!d.start()->isEnabled());
    QVERIFY(!d.close()->isEnabled());
    QCOMPARE(d.dialog->windowModality(), Qt::WindowModal);

    d.dialog->updateProgress(30);
    QCOMPARE(d.progress->value(), 30);
}

void TestDetectionDialogue::endOfRun_data()
{
    QTest::addColumn<bool>("abort");
    QTest::addColumn<int>("progress");

    QTest::newRow("finished keeps the progress") << false << 100;
    QTest::newRow("aborted resets the progress") << true << 0;
}

void TestDetectionDialogue::endOfRun()
{
    QFETCH(bool, abort);
    QFETCH(int, progress);

    OpenDialog d;
    d.pressStart();
    d.dialog->updateProgress(100);
    d.dialog->addDetectedPixel(1);
    d.dialog->addDetectedPixel(1);
    if (abort)
        d.dialog->abortDetect();
    else
        d.dialog->finishDetect();

    QVERIFY(d.looksIdle());
    QCOMPARE(d.progress->value(), progress);
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: 2"));
}

void TestDetectionDialogue::countsAddedPixels()
{
    OpenDialog d;
    d.pressStart();
    for (int i = 0; i < 12; ++i)
        d.dialog->addDetectedPixel(1);
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: 12"));
    d.dialog->addDetectedPixel(30);
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: 42"));
}

void TestDetectionDialogue::errorShowsDashAsCount()
{
    OpenDialog d;
    d.pressStart();
    d.dialog->addDetectedPixel(1);
    const QString text =
        QStringLiteral("Image format for hot pixel detection not supported. Please restart "
                       "detection.");
    d.dialog->showError(text);
    d.dialog->finishDetect();
    QVERIFY(d.looksIdle());
    QCOMPARE(d.error->text(), text);
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: -"));
}

void TestDetectionDialogue::keys_data()
{
    QTest::addColumn<bool>("detecting");
    QTest::addColumn<int>("key");

    QTest::newRow("escape idle closes") << false << int(Qt::Key_Escape);
    QTest::newRow("escape detecting") << true << int(Qt::Key_Escape);
    QTest::newRow("enter idle") << false << int(Qt::Key_Return);
    QTest::newRow("keypad enter idle") << false << int(Qt::Key_Enter);
}

void TestDetectionDialogue::keys()
{
    QFETCH(bool, detecting);
    QFETCH(int, key);

    if (!detecting && key == Qt::Key_Escape) {
        OpenDialog d;
        QTest::keyClick(d.spin, Qt::Key_Escape);
        QVERIFY(!d.dialog->isVisible());
        return;
    }

    OpenDialog d;
    if (detecting)
        d.pressStart();
    QSignalSpy started(d.dialog, &DetectionDialogue::startDetect);
    QSignalSpy rejected(d.dialog, &QDialog::rejected);

    // Sent to the dialog and to a control that passes the key on to it.
    QTest::keyClick(d.dialog, Qt::Key(key));
    if (!detecting)
        QTest::keyClick(d.spin, Qt::Key(key));
    QVERIFY(d.dialog->isVisible());
    QVERIFY(started.isEmpty());
    QVERIFY(rejected.isEmpty());
    QVERIFY(detecting ? d.looksDetecting() : d.looksIdle());
}

void TestDetectionDialogue::evidenceFollowsThreshold()
{
    OpenDialog d;
    QSignalSpy changed(d.dialog, &DetectionDialogue::thresholdChanged);
    QSignalSpy add(d.dialog, &DetectionDialogue::addRequested);
    auto* addButton = d.group(QStringLiteral("Evidence"))->findChild<QPushButton*>();
    QCOMPARE(addButton->text(), QStringLiteral("Add"));
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
    const QList<QLabel*> labels = d.group(QStringLiteral("Evidence"))->findChildren<QLabel*>();
    QStringList texts;
    for (const QLabel* label : labels)
        texts << label->text();
    QVERIFY(texts.contains(
        QStringLiteral("Hot pixels, sensor covered: 10 frames at exposure 12.50 ms, gain 3")));
    QVERIFY(texts.contains(QStringLiteral("7 pixels above threshold, 2 of them new")));

    d.slider->setValue(60);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().first().toInt(), 60);
    QTest::mouseClick(addButton, Qt::LeftButton);
    QCOMPARE(add.size(), 1);
    QCOMPARE(add.first().first().toInt(), 60);

    // A new run takes the evidence away until the window shows the next.
    d.pressStart();
    QVERIFY(!addButton->isEnabled());
    d.spin->setValue(70);
    QCOMPARE(changed.size(), 1);
}

void TestDetectionDialogue::closeButtonClosesIdleDialog()
{
    OpenDialog d;
    QTest::mouseClick(d.close(), Qt::LeftButton);
    QVERIFY(!d.dialog->isVisible());
}

void TestDetectionDialogue::secondRunStartsAfresh()
{
    OpenDialog d;
    QSignalSpy started(d.dialog, &DetectionDialogue::startDetect);
    d.pressStart();
    d.dialog->addDetectedPixel(4);
    d.dialog->showError(QStringLiteral("First run failed. Please restart detection."));
    d.dialog->finishDetect();

    d.spin->setValue(77);
    d.pressStart();
    QCOMPARE(started.size(), 2);
    QCOMPARE(started.last().at(1).toInt(), 77);
    QVERIFY(d.looksDetecting());
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: 0"));
    QVERIFY(d.error->text().isEmpty());
    d.dialog->addDetectedPixel(1);
    QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: 1"));
}

QTEST_MAIN(TestDetectionDialogue)
#include "tst_detectiondialogue.moc"
