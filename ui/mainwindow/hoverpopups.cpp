#include "ui/mainwindow/hoverpopups.h"
#include "ui_mainwindow.h"

#include "ui/common/fonts.h"
#include "ui/mainwindow/mainwindowstyles.h"

#include <QEvent>

using namespace mainwindowstyles;

HoverPopups::HoverPopups(QWidget *window, Ui::MainWindow *ui) : window(window), ui(ui) {}

void HoverPopups::handle(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (watched == window) {
        if (type == QEvent::MouseButtonPress) {
            // Takes the focus from the help popup, which then hides.
            window->setFocus(Qt::OtherFocusReason);
        }
    } else if (watched == ui->help || watched == ui->helpSign) {
        if (type == QEvent::Enter) {
            ui->helpSign->setStyleSheet(QLatin1String(helpSignHoverStyle));
            if (ui->helpContent->isHidden()) {
                ui->helpContent->show();
                ui->helpContent->setFocus();
            }
            ui->help->setStyleSheet(QLatin1String(helpHoverStyle));
        } else if (type == QEvent::Leave) {
            ui->help->setStyleSheet(QLatin1String(helpStyle));
            ui->helpSign->setStyleSheet(QLatin1String(helpSignStyle));
        }
    } else if (watched == ui->helpContent) {
        if (type == QEvent::FocusOut && ui->helpContent->isVisible()) {
            ui->helpContent->hide();
        }
    } else if (watched == ui->q_upgrade) {
        if (type == QEvent::Enter) {
            showUpgradeTip();
        } else if (type == QEvent::Leave) {
            hideUpgradeTip();
        }
    }
}

void HoverPopups::showUpgradeTip() {
    QLabel *tip = ui->q_grade_tip;
    QLabel *arrow = ui->q_polygon;
    const QRect button = ui->q_upgrade->geometry();
    tip->setText(QStringLiteral("新版本V") + config.getValue(config.newVersionCode, QString()));
    tip->setFont(pingFangFont(tip->font(), 9));

    // The arrow's bottom row is 9 pixels above the button, the tip's bottom
    // row two pixels below the arrow's top row; both centred on the button.
    const int arrowX = button.x() + button.width() / 2 - arrow->width() / 2;
    const int arrowY = button.y() - 9 - arrow->height() + 1;
    arrow->move(arrowX, arrowY);
    arrow->show();
    const int tipX = button.x() + button.width() / 2 - tip->width() / 2;
    const int tipY = arrowY + 2 - tip->height() + 1;
    tip->move(tipX, tipY);
    tip->show();
}

void HoverPopups::hideUpgradeTip() {
    if (ui->q_grade_tip->isVisible()) {
        ui->q_grade_tip->hide();
        ui->q_polygon->hide();
    }
}
