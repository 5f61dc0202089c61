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
    void labelHoverCursor_data();
    void labelHoverCursor();
    void labelClicksOnAnyButton();
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

void TestDialogAbout::labelHoverCursor_data()
{
    QTest::addColumn<bool>("clickable");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("hovered");

    QTest::newRow("clickable") << true << -1 << int(Qt::PointingHandCursor);
    QTest::newRow("clickable over a busy cursor")
        << true << int(Qt::WaitCursor) << int(Qt::PointingHandCursor);
    QTest::newRow("plain over a busy cursor")
        << false << int(Qt::WaitCursor) << int(Qt::WaitCursor);
}

// Leaving gives back whatever cursor was there before.
void TestDialogAbout::labelHoverCursor()
{
    QFETCH(bool, clickable);
    QFETCH(int, before);
    QFETCH(int, hovered);

    QClickableLabel label(nullptr, clickable);
    if (before != -1)
        QGuiApplication::setOverrideCursor(QCursor(Qt::CursorShape(before)));
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&label, &enter);
    QCOMPARE(overrideShape(), hovered);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &leave);
    QCOMPARE(overrideShape(), before);
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void TestDialogAbout::labelClicksOnAnyButton()
{
    for (const bool clickable : {true, false}) {
        QClickableLabel label(nullptr, clickable);
        QSignalSpy spy(&label, &QClickableLabel::clicked);
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            QTest::mousePress(&label, button);
            QCOMPARE(spy.count(), 0);
            QTest::mouseRelease(&label, button);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.takeFirst().first().toInt(), 0);
        }
        // A plain label looks like any other.
        label.ensurePolished();
        QCOMPARE(label.font().underline(), clickable);
    }
}

QTEST_MAIN(TestDialogAbout)
#include "tst_dialog_about.moc"
