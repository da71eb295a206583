// The television's screen: the cast code before a cast, the cast's picture
// during one, scaled into the window with its aspect ratio kept.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace receiver {

class ReceiverWindow : public QWidget {
public:
    explicit ReceiverWindow(const QString &castCode);

    // The code screen, without any picture of the last cast.
    void showCode();
    // The picture screen with this picture.
    void showPicture(const QImage &picture);
    bool showingPicture() const { return !m_picture.isNull(); }

    void toggleFullScreen();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void paintCode(QPainter &painter);

    QString m_castCode;
    QImage m_picture;
};

// Where a picture of pictureSize goes in an area: as large as fits, centred,
// its aspect ratio kept (bars fill the rest).
QRect fittedRect(const QSize &pictureSize, const QRect &area);

} // namespace receiver
