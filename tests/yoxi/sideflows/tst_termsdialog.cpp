// The agreement dialog: its answer signal, its layout at the form size, and the
// agreement document it shows.
#include "ui/termsdialog/termsdialog.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

namespace {

struct Notice {
    int result;
    bool dialogVisible;
};

} // namespace

class TermsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void answerIsReportedOnceAfterClosing_data();
    void answerIsReportedOnceAfterClosing();
    void onlyTheButtonsCloseTheDialog();
    void layoutFollowsDialogSize();
    void agreementScrollsWithThinStyledBar();
    void agreementDocumentHasItsForm();
    void draggingByTheBodyMovesTheDialog();
};

void TermsDialogTest::answerIsReportedOnceAfterClosing_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("expected");
    QTest::newRow("agree") << "agree" << 1;
    QTest::newRow("noagree") << "noagree" << 0;
}

void TermsDialogTest::answerIsReportedOnceAfterClosing() {
    QFETCH(QString, button);
    QFETCH(int, expected);

    TermsDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QVector<Notice> notices;
    connect(&dialog, &TermsDialog::quitNotice, this, [&](int result) {
        notices.append({result, dialog.isVisible()});
    });

    auto *pushButton = dialog.findChild<QPushButton *>(button);
    QVERIFY(pushButton);
    QTest::mouseClick(pushButton, Qt::LeftButton);

    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.first().result, expected);
    QVERIFY(!notices.first().dialogVisible);
}

// Neither Escape nor a close request from the window system (Alt+F4) ends
// the dialog without an answer.
void TermsDialogTest::onlyTheButtonsCloseTheDialog() {
    TermsDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy notices(&dialog, &TermsDialog::quitNotice);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.windowHandle()->close());
    QTest::qWait(50);
    QVERIFY(dialog.isVisible());
    QCOMPARE(notices.count(), 0);
}

void TermsDialogTest::layoutFollowsDialogSize() {
    TermsDialog dialog;
    QCOMPARE(dialog.size(), QSize(500, 350));
    QCOMPARE(dialog.windowFlags() & (Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
             Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

    QCOMPARE(dialog.findChild<QTextBrowser *>("terms")->geometry(), QRect(5, 70, 490, 210));
    // The title is as high as its text needs (at least the form's 16 pixels),
    // centred in the top band of 70 pixels.
    QWidget *title = dialog.findChild<QWidget *>("title");
    QVERIFY(title->height() >= 16);
    QCOMPARE(title->pos(), QPoint(109, (70 - title->height()) / 2));
    QCOMPARE(dialog.findChild<QPushButton *>("noagree")->geometry(), QRect(145, 300, 70, 29));
    QCOMPARE(dialog.findChild<QPushButton *>("agree")->geometry(), QRect(285, 300, 70, 29));

    // The corners outside the rounded rectangle are cut away.
    const QRegion mask = dialog.mask();
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(!mask.contains(QPoint(499, 349)));
    QVERIFY(mask.contains(QPoint(250, 175)));
    QVERIFY(mask.contains(QPoint(10, 0)));
}

void TermsDialogTest::agreementScrollsWithThinStyledBar() {
    TermsDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *terms = dialog.findChild<QTextBrowser *>("terms");
    QScrollBar *bar = terms->verticalScrollBar();
    QVERIFY(terms->isAncestorOf(bar));
    QVERIFY(bar->maximum() > 0);
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(bar->width(), 4);
}

void TermsDialogTest::agreementDocumentHasItsForm() {
    TermsDialog dialog;
    const QTextDocument *document = dialog.findChild<QTextBrowser *>("terms")->document();
    QCOMPARE(document->blockCount(), 91);

    QStringList paragraphs;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        paragraphs << block.text();
        const QTextBlockFormat format = block.blockFormat();
        QCOMPARE(format.topMargin(), 12.0);
        QCOMPARE(format.bottomMargin(), 12.0);
        QCOMPARE(format.leftMargin(), 10.0);
        QCOMPARE(format.rightMargin(), 11.0);
        const QTextCharFormat chars = block.begin().fragment().charFormat();
        QCOMPARE(chars.foreground().color(), QColor("#8e9baf"));
        QCOMPARE(chars.background().color(), QColor("#ecf1ff"));
    }
    QCOMPARE(paragraphs.first(),
             QString("欢迎下载岚栖无限投屏系统（下称“岚栖投屏”）并使用岚栖投屏提供的产品和服务。"));
    QCOMPARE(document->begin().blockFormat().alignment(), Qt::AlignJustify);
    QCOMPARE(document->begin().next().blockFormat().alignment(), Qt::AlignJustify);
    QVERIFY(paragraphs.last().contains("岚栖无限"));

    // Six chapters in order, each heading in bold, and clauses 1 to 17 in order.
    const QStringList chapters = {"第一章", "第二章", "第三章", "第四章", "第五章", "第六章"};
    int chapter = 0;
    int clause = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (chapter < chapters.size() && text.startsWith(chapters[chapter])) {
            QVERIFY(block.begin().fragment().charFormat().fontWeight() > QFont::Normal);
            ++chapter;
        } else if (text.startsWith(QString::number(clause + 1) + ". ")) {
            ++clause;
        }
    }
    QCOMPARE(chapter, 6);
    QCOMPARE(clause, 17);
}

void TermsDialogTest::draggingByTheBodyMovesTheDialog() {
    TermsDialog dialog;
    dialog.move(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();

    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(dialog.mapFromGlobal(global)), QPointF(global),
                          Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &event);
    };
    const QPoint grip = dialog.mapToGlobal(QPoint(20, 20));
    send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
    send(QEvent::MouseMove, grip + QPoint(30, 10), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grip + QPoint(45, 25), Qt::NoButton);
    QCOMPARE(dialog.pos(), start + QPoint(45, 25));

    // Without a press, moving the mouse leaves the dialog where it is.
    send(QEvent::MouseMove, grip + QPoint(100, 100), Qt::NoButton);
    QCOMPARE(dialog.pos(), start + QPoint(45, 25));
}

QTEST_MAIN(TermsDialogTest)
#include "tst_termsdialog.moc"
