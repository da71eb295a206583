// Every compiled-in picture exists at its pixel size under both spellings of
// the resource path.
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QtTest>

class ImagesTest : public QObject {
    Q_OBJECT

private slots:
    void sizes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        const QList<QPair<const char *, QSize>> images = {
            {"agree.png", {140, 58}},
            {"bj.jpg", {1280, 720}},
            {"buttonbg.png", {110, 74}},
            {"cancel_mid.png", {560, 560}},
            {"cast.ico", {48, 48}},
            {"close.png", {18, 18}},
            {"close_press.png", {18, 18}},
            {"code.png", {178, 158}},
            {"codebg.png", {400, 84}},
            {"dot.png", {6, 7}},
            {"download_complete.png", {96, 96}},
            {"editIcon.png", {16, 16}},
            {"gradeTip.png", {312, 192}},
            {"help.png", {14, 14}},
            {"help_press.png", {14, 14}},
            {"helpbg.png", {280, 152}},
            {"mac_install.png", {500, 300}},
            {"mid.png", {694, 574}},
            {"minimize.png", {18, 18}},
            {"minimize_press.png", {18, 18}},
            {"noagree.png", {140, 58}},
            {"polygon.png", {12, 10}},
            {"quit.png", {256, 74}},
            {"tip.png", {72, 72}},
            {"topleft.png", {188, 52}},
            {"topleft1.png", {188, 52}},
            {"tv.png", {32, 32}},
            {"upgrade.png", {16, 16}},
        };
        for (const auto &image : images) {
            QTest::newRow(image.first) << QString::fromLatin1(image.first) << image.second;
        }
    }
    void sizes() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        for (const QString &prefix : {QStringLiteral(":/images/"), QStringLiteral(":images/")}) {
            QImageReader reader(prefix + name);
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(prefix + name + ": " + reader.errorString()));
            QCOMPARE(image.size(), size);
        }
    }

    void iconHoldsOneImage() {
        QImageReader reader(QStringLiteral(":/images/cast.ico"));
        QCOMPARE(reader.imageCount(), 1);
    }
};

QTEST_GUILESS_MAIN(ImagesTest)
#include "tst_images.moc"
