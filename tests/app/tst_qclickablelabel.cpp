#include "qclickablelabel.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

// The shape of the application's override cursor, or -1 when there is none.
int overrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

void sendEnter(QWidget* widget)
{
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(widget, &enter);
}

void sendLeave(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

} // namespace

class TestQClickableLabel : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void hoverCursor_data();
    void hoverCursor();
    void anyButtonReleaseClicks_data();
    void anyButtonReleaseClicks();
    void clickableLooksLikeALink_data();
    void clickableLooksLikeALink();
};

void TestQClickableLabel::cleanup()
{
    while (QGuiApplication::overrideCursor()) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void TestQClickableLabel::hoverCursor_data()
{
    QTest::addColumn<bool>("clickable");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("hovered");

    QTest::newRow("clickable") << true << -1 << int(Qt::PointingHandCursor);
    QTest::newRow("clickable over a busy cursor")
        << true << int(Qt::WaitCursor) << int(Qt::PointingHandCursor);
    QTest::newRow("plain") << false << -1 << -1;
    QTest::newRow("plain over a busy cursor")
        << false << int(Qt::WaitCursor) << int(Qt::WaitCursor);
}

// Leaving gives back whatever cursor was there before.
void TestQClickableLabel::hoverCursor()
{
    QFETCH(bool, clickable);
    QFETCH(int, before);
    QFETCH(int, hovered);

    QClickableLabel label(nullptr, clickable);
    if (before != -1) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::CursorShape(before)));
    }

    sendEnter(&label);
    QCOMPARE(overrideShape(), hovered);
    sendLeave(&label);
    QCOMPARE(overrideShape(), before);
}

void TestQClickableLabel::anyButtonReleaseClicks_data()
{
    QTest::addColumn<bool>("clickable");
    QTest::addColumn<int>("button");

    QTest::newRow("clickable, left") << true << int(Qt::LeftButton);
    QTest::newRow("clickable, right") << true << int(Qt::RightButton);
    QTest::newRow("clickable, middle") << true << int(Qt::MiddleButton);
    QTest::newRow("plain, left") << false << int(Qt::LeftButton);
    QTest::newRow("plain, right") << false << int(Qt::RightButton);
}

void TestQClickableLabel::anyButtonReleaseClicks()
{
    QFETCH(bool, clickable);
    QFETCH(int, button);

    QClickableLabel label(nullptr, clickable);
    label.setText(QStringLiteral("link"));
    QSignalSpy spy(&label, &QClickableLabel::clicked);

    QTest::mousePress(&label, Qt::MouseButton(button));
    QCOMPARE(spy.count(), 0);
    QTest::mouseRelease(&label, Qt::MouseButton(button));

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 0);
}

void TestQClickableLabel::clickableLooksLikeALink_data()
{
    QTest::addColumn<bool>("clickable");
    QTest::newRow("clickable") << true;
    QTest::newRow("plain") << false;
}

void TestQClickableLabel::clickableLooksLikeALink()
{
    QFETCH(bool, clickable);

    QClickableLabel label(nullptr, clickable);
    label.setText(QStringLiteral("link"));
    label.ensurePolished();

    QCOMPARE(label.font().underline(), clickable);
    QCOMPARE(label.palette().color(label.foregroundRole()) == QColor(Qt::blue), clickable);
}

QTEST_MAIN(TestQClickableLabel)
#include "tst_qclickablelabel.moc"
