// Shows one of the program's windows on its own, for screenshots and manual
// checks: yoxi-show-window basedialog [TEXT] [--ok-only]
#include "app/display/fontfallbacks.h"
#include "ui/basedialog/basedialog.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    installFontFallbacks();
    const QStringList arguments = app.arguments().mid(1);
    const QString window = arguments.value(0);

    if (window == QLatin1String("basedialog")) {
        BaseDialog *dialog = new BaseDialog;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        const bool okOnly = arguments.contains(QStringLiteral("--ok-only"));
        dialog->setButtons(true, QStringLiteral("确定"), !okOnly, QStringLiteral("取消"));
        dialog->setTitleButtons(true, false);
        if (arguments.size() > 1 && !arguments.at(1).startsWith(QLatin1String("--"))) {
            dialog->setText(arguments.at(1));
        }
        const int result = dialog->exec();
        QTextStream(stdout) << "result " << result << '\n';
        return 0;
    }
    QTextStream(stderr) << "usage: yoxi-show-window basedialog [TEXT] [--ok-only]\n";
    return 2;
}
