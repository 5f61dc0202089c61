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

namespace {

// The logo on the left of the dialog's row.
const QLabel* logo(const Dialog_About& dialog)
{
    return qobject_cast<const QLabel*>(dialog.layout()->itemAt(0)->widget());
}

// The labels of the column on the right, top to bottom.
QList<const QLabel*> column(const Dialog_About& dialog)
{
    const QLayout* layout = dialog.layout()->itemAt(1)->layout();
    QList<const QLabel*> labels;
    for (int i = 0; layout && i < layout->count(); ++i) {
        labels << qobject_cast<const QLabel*>(layout->itemAt(i)->widget());
    }
    return labels;
}

} // namespace

class TestDialogAbout : public QObject
{
    Q_OBJECT

private slots:
    void showsNameVersionCopyrightAndMaker();
    void showsTheLogo();
    void cannotBeResizedAndHasNoHelpButton();
    void aboutQtLinkOpensQtsAboutBox_data();
    void aboutQtLinkOpensQtsAboutBox();
    void hoveringTheLinkShowsThePointingHand();
    void escapeCloses();
};

void TestDialogAbout::showsNameVersionCopyrightAndMaker()
{
    Dialog_About dialog;

    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Kivo Speckwright"));
    const QList<const QLabel*> labels = column(dialog);
    QCOMPARE(labels.size(), 5);
    QStringList shown;
    for (const QLabel* label : labels) {
        QVERIFY(label);
        shown << label->text();
    }
    QCOMPARE(shown.at(0), QStringLiteral("Kivo Speckwright"));
    QCOMPARE(shown.at(1), QStringLiteral("Version: ") + QLatin1String(SPECKWRIGHT_VERSION));
    QVERIFY(!QStringLiteral(SPECKWRIGHT_VERSION).isEmpty());
    QCOMPARE(shown.at(2), QStringLiteral("Copyright (c) 2025-2026 Talvane"));
    QCOMPARE(shown.at(3), QStringLiteral("Talvane"));
    QCOMPARE(shown.at(4), QStringLiteral("About Qt"));
    QVERIFY(qobject_cast<const QClickableLabel*>(labels.at(4)));
}

void TestDialogAbout::showsTheLogo()
{
    Dialog_About dialog;

    QVERIFY(logo(dialog));
    const QPixmap pixmap = logo(dialog)->pixmap(Qt::ReturnByValue);
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.size(), QPixmap(QStringLiteral(":/res/about_logo_kivo.png")).size());
}

void TestDialogAbout::cannotBeResizedAndHasNoHelpButton()
{
    Dialog_About dialog;

    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.size(), dialog.minimumSize());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
}

void TestDialogAbout::aboutQtLinkOpensQtsAboutBox_data()
{
    QTest::addColumn<int>("button");
    QTest::newRow("left button") << int(Qt::LeftButton);
    QTest::newRow("right button") << int(Qt::RightButton);
}

void TestDialogAbout::aboutQtLinkOpensQtsAboutBox()
{
    QFETCH(int, button);

    Dialog_About dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* link = dialog.findChild<QClickableLabel*>();
    QVERIFY(link);

    // Qt's About box runs its own event loop; look at it from there and close it.
    QString title;
    QPointer<QWidget> parent;
    QTimer::singleShot(0, &dialog, [&title, &parent] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            title = box->windowTitle();
            parent = box->parentWidget();
            box->close();
        }
    });
    QTest::mouseClick(link, Qt::MouseButton(button));

    QCOMPARE(title, QStringLiteral("About Qt"));
    QCOMPARE(parent.data(), &dialog);
}

void TestDialogAbout::hoveringTheLinkShowsThePointingHand()
{
    Dialog_About dialog;
    auto* link = dialog.findChild<QClickableLabel*>();

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(link, &enter);
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestDialogAbout::escapeCloses()
{
    Dialog_About dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::keyClick(&dialog, Qt::Key_Escape);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestDialogAbout)
#include "tst_dialog_about.moc"
