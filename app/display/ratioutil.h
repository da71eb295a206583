#ifndef RATIOUTIL_H
#define RATIOUTIL_H

#include <QObject>

// Fits a picture with the PC screen's aspect ratio into the receiver's screen:
// the largest such rectangle inside the receiver, its limiting side equal to
// the receiver's, both sides even (the encoder needs even sizes).
class RatioUtil : public QObject {
    Q_OBJECT

public:
    explicit RatioUtil(QObject *parent = nullptr);

    void fitRatio(float screenWidth, float screenHeight, float receiverWidth, float receiverHeight);
    int getFitWidth() const { return fitWidth; }
    int getFitHeight() const { return fitHeight; }

private:
    int fitWidth = 0;
    int fitHeight = 0;
};

#endif // RATIOUTIL_H
