#include "dialog_about.h"
#include "qclickablelabel.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// The shape of the application's override cursor, or -1 when there is none.
int overrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

} // namespace

// The About dialog and the clickable label that its About Qt link is.
class TestDialogAbout : public QObject
{
    Q_OBJECT

private slots:
    void showsNameVersionAndLogo();
    void linkOpensQtsAboutBox();
    void labelHoverCursorAndClicks();
};

void TestDialogAbout::showsNameVersionAndLogo()
{
    Dialog_About dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Kivo Speckwright"));
    const QLayout* column = dialog.layout()->itemAt(1)->layout();
    QStringList shown;
    for (int i = 0; i < column->count(); ++i)
        shown << qobject_cast<const QLabel*>(column->itemAt(i)->widget())->text();
    QCOMPARE(shown, QStringList({"Kivo Speckwright", "Version: " SPECKWRIGHT_VERSION,
                                 "Copyright (c) 2025-2026 Talvane", "Talvane", "About Qt"}));
    const auto* logo = qobject_cast<const QLabel*>(dialog.layout()->itemAt(0)->widget());
    QCOMPARE(logo->pixmap(Qt::ReturnByValue).size(),
             QPixmap(QStringLiteral(":/res/about_logo_kivo.png")).size());
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
}

void TestDialogAbout::linkOpensQtsAboutBox()
{
    Dialog_About dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* link = dialog.findChild<QClickableLabel*>();
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(link->foregroundRole()), QColor(Qt::blue));

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
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(title, QStringLiteral("About Qt"));
    QCOMPARE(parent.data(), &dialog);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
}

void TestDialogAbout::labelHoverCursorAndClicks()
{
    // Hovering shows the pointing hand over a clickable label only; leaving
    // gives back whatever cursor was there before. Any button clicks.
    for (const bool clickable : {true, false}) {
        QClickableLabel label(nullptr, clickable);
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(&label, &enter);
        QCOMPARE(overrideShape(), int(clickable ? Qt::PointingHandCursor : Qt::WaitCursor));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&label, &leave);
        QCOMPARE(overrideShape(), int(Qt::WaitCursor));
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(overrideShape(), -1);

        QSignalSpy spy(&label, &QClickableLabel::clicked);
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            QTest::mousePress(&label, button);
            QCOMPARE(spy.count(), 0);
            QTest::mouseRelease(&label, button);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.takeFirst().first().toInt(), 0);
        }
        label.ensurePolished();
        QCOMPARE(label.font().underline(), clickable);
    }
}

QTEST_MAIN(TestDialogAbout)
#include "tst_dialog_about.moc"
