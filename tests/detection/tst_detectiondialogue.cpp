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
        for (QGroupBox* box : dialog->findChildren<QGroupBox*>())
            if (box->title() == QLatin1String(title))
                return box;
        return nullptr;
    }

    void pressStart() const { buttons->button(QDialogButtonBox::Ok)->click(); }

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

// Threshold entered and sent, whether to clear the list, then how the run
// ends: with a failure shown, aborted or finished; progress and count after it.
struct Run
{
    int entered;
    bool clear;
    int sent;
    QString failure;
    bool abort;
    int progress;
    QString count;
};

} // namespace

Q_DECLARE_METATYPE(Run)

class TestDetectionDialogue : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        OpenDialog d;
        QCOMPARE(d.dialog->windowModality(), Qt::WindowModal);
        // The instruction on top; the choices in the preferences box.
        const auto* instruction = qobject_cast<QLabel*>(d.dialog->layout()->itemAt(0)->widget());
        for (QWidget* preference : QWidgetList{d.spin, d.slider, d.clear})
            QVERIFY(d.group("Preferences")->isAncestorOf(preference));

        // The other mode says what the sensor must see instead.
        QVERIFY(instruction->text().startsWith(QStringLiteral("Cover the sensor")));
        d.group("Preferences")->findChild<QComboBox*>()->setCurrentIndex(1);
        QCOMPARE(d.dialog->mode(), CaptureRecord::Mode::DeadPixels);
        QVERIFY(instruction->text().startsWith(QStringLiteral("Light the sensor evenly")));
        QVERIFY(d.looks(false));
    }

    void run_data()
    {
        QTest::addColumn<Run>("r");
        // Thresholds outside 5 to 255 are refused.
        QTest::newRow("finished keeps the progress") << Run{40, false, 40, "", false, 100, "42"};
        QTest::newRow("aborted resets the progress") << Run{4, true, 5, "", true, 0, "42"};
        QTest::newRow("failed shows a dash as count")
            << Run{256, true, 255, "Image format not supported.", false, 100, "-"};
    }

    // Twice in a row: a run starts afresh, and the dialog is set for it when
    // the window hears of the start. Escape neither closes nor stops a run,
    // and Enter, sent to the dialog or passed on by a control, starts none.
    void run()
    {
        QFETCH(Run, r);
        const auto [entered, clear, sent, failure, abort, progress, count] = r;

        OpenDialog d;
        d.dialog->addDetectedPixel(3);
        d.dialog->showError(QStringLiteral("Earlier failure."));
        d.spin->setValue(entered);
        QCOMPARE(d.slider->value(), sent);
        d.clear->setChecked(clear);
        QList<QVariantList> started;
        connect(d.dialog, &DetectionDialogue::startDetect, d.dialog, [&](bool clearing, int value) {
            started << QVariantList{clearing, value,
                                    d.looks(true) && d.error->text().isEmpty() &&
                                        d.count->text() == QStringLiteral("Hot pixel detected: 0")};
        });
        for (int run = 0; run < 2; ++run) {
            d.pressStart();
            QTest::keyClick(d.dialog, Qt::Key_Escape);
            QVERIFY(d.looks(true));
            d.dialog->updateProgress(30);
            QCOMPARE(d.progress->value(), 30);
            d.dialog->updateProgress(100);
            d.dialog->addDetectedPixel(12);
            d.dialog->addDetectedPixel(30);
            if (!failure.isEmpty())
                d.dialog->showError(failure);
            abort ? d.dialog->abortDetect() : d.dialog->finishDetect();

            for (QWidget* receiver : QWidgetList{d.dialog, d.spin})
                for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
                    QTest::keyClick(receiver, key);
            QVERIFY(d.looks(false));
            QCOMPARE(d.progress->value(), progress);
            QCOMPARE(d.count->text(), QStringLiteral("Hot pixel detected: ") + count);
            QCOMPARE(d.error->text(), failure);
        }
        const QVariantList start{clear, sent, true};
        QCOMPARE(started, (QList<QVariantList>{start, start}));
        // Idle, Escape and Close close it.
        abort ? QTest::mouseClick(d.buttons->button(QDialogButtonBox::Close), Qt::LeftButton)
              : QTest::keyClick(d.spin, Qt::Key_Escape);
        QVERIFY(!d.dialog->isVisible());
    }

    void evidenceFollowsThreshold()
    {
        OpenDialog d;
        QSignalSpy changed(d.dialog, &DetectionDialogue::thresholdChanged);
        QSignalSpy add(d.dialog, &DetectionDialogue::addRequested);
        // Without evidence the threshold is only a choice for the next run.
        auto* addButton = d.group("Evidence")->findChild<QPushButton*>();
        d.spin->setValue(50);
        QVERIFY(changed.isEmpty() && !addButton->isEnabled());

        const DeviationHistogram histogram({4, 4}, 5, {});
        d.dialog->showEvidence(&histogram, {CaptureRecord::Mode::HotPixels, 12.5, 3, 10});
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
        d.spin->setValue(70);
        QVERIFY(changed.size() == 1 && !addButton->isEnabled());
    }
};

QTEST_MAIN(TestDetectionDialogue)
#include "tst_detectiondialogue.moc"
