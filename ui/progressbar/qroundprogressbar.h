#ifndef QROUNDPROGRESSBAR_H
#define QROUNDPROGRESSBAR_H

#include <QString>
#include <QWidget>

class QPainter;
class QRectF;

// A value within a range drawn as a circle: a rim, an arc or filled sector for
// the value and a centred label made from a pattern such as "%v%". Colours come
// from the palette; each drawing step is virtual so that a subclass can restyle
// one step without rewriting the others.
class QRoundProgressBar : public QWidget {
    Q_OBJECT
public:
    enum BarShape { ShapeRing = 0, ShapeSector = 1, ShapeArc = 2 };

    explicit QRoundProgressBar(QWidget *parent = nullptr);

    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    double value() const { return m_value; }
    double startAngle() const { return m_startAngle; }
    int shape() const { return m_shape; }
    double rimWidth() const { return m_rimWidth; }
    double arcWidth() const { return m_arcWidth; }
    QString labelPattern() const { return m_labelPattern; }
    int precision() const { return m_precision; }

    void setStartAngle(double angle);
    void setShape(int shape);
    void setRimWidth(double width);
    void setArcWidth(double width);
    void setLabelPattern(const QString &pattern);
    void clearLabelPattern();
    void setPrecision(int precision);

    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

public slots:
    void setRange(double max, double min);
    void setMinimun(double min);
    void setMaximun(double max);
    void setValue(double val);
    void setValue(int val);

protected:
    void paintEvent(QPaintEvent *event) override;

    virtual void paintFrame(QPainter &painter, const QRectF &baseRect);
    virtual void paintRim(QPainter &painter, const QRectF &baseRect);
    virtual void paintProgress(QPainter &painter, const QRectF &baseRect, double value,
                               double arcLength);
    virtual void innerArea(const QRectF &baseRect, double outerSize, QRectF &innerRect,
                           double &innerRadius);
    virtual void paintCenter(QPainter &painter, const QRectF &innerRect);
    virtual void paintLabel(QPainter &painter, const QRectF &innerRect, double innerRadius,
                            double value);
    virtual QString labelFor(double value) const;

private:
    // Share of the range covered by value, 0 to 1; 0 for an empty range.
    double fraction(double value) const;
    // Stores value in member and repaints, when that changes the member.
    template <typename T> void changeAndRepaint(T &member, const T &value) {
        if (value != member) {
            member = value;
            update();
        }
    }

    double m_min = 0.0;
    double m_max = 100.0;
    double m_value = 25.0;
    double m_startAngle = 90.0;
    int m_shape = ShapeRing;
    double m_rimWidth = 1.0;
    double m_arcWidth = 1.0;
    QString m_labelPattern = QStringLiteral("%p%");
    int m_precision = 1;
};

#endif // QROUNDPROGRESSBAR_H
