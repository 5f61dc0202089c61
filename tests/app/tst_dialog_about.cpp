#include "dialog_about.h"
#include "qclickablelabel.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

// The About dialog and the clickable label that its About Qt link is.
class TestDialogAbout : public QObject
{
    Q_OBJECT

private slots:
    void showsNameVersionAndLinksToQt();
    void labelHoverCursor();
};

void TestDialogAbout::showsNameVersionAndLinksToQt()
{
    Dialog_About dialog;
    const QLayout* column = dialog.layout()->itemAt(1)->layout();
    QStringList shown;
    for (int i = 0; i < column->count(); ++i)
        shown << qobject_cast<const QLabel*>(column->itemAt(i)->widget())->text();
    QCOMPARE(shown, QStringList({"Kivo Speckwright", "Version: " SPECKWRIGHT_VERSION,
                                 "Copyright (c) 2025-2026 Talvane", "Talvane", "About Qt"}));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // Qt's About box runs its own event loop; look at it from there and close it.
    QString title;
    QPointer<QWidget> parent;
    QTimer::singleShot(0, &dialog, [&title, &parent] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            parent = box->parentWidget();
            box->close();
        }
    });
    // Any button clicks the link.
    QTest::mouseClick(dialog.findChild<QClickableLabel*>(), Qt::RightButton);
    QCOMPARE(title, QStringLiteral("About Qt"));
    QCOMPARE(parent.data(), &dialog);
}

void TestDialogAbout::labelHoverCursor()
{
    // Hovering shows the pointing hand over a clickable label only; leaving
    // gives back the cursor that was there before.
    for (const bool clickable : {true, false}) {
        QClickableLabel label(nullptr, clickable);
        const auto send = [&label](QEvent::Type type) {
            QEvent event(type);
            QApplication::sendEvent(&label, &event);
            return QGuiApplication::overrideCursor()->shape();
        };
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QCOMPARE(send(QEvent::Enter), clickable ? Qt::PointingHandCursor : Qt::WaitCursor);
        QCOMPARE(send(QEvent::Leave), Qt::WaitCursor);
        QGuiApplication::restoreOverrideCursor();

        label.ensurePolished();
        QCOMPARE(label.font().underline(), clickable);
    }
}

QTEST_MAIN(TestDialogAbout)
#include "tst_dialog_about.moc"
