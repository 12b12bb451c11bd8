#include "ui/ErrorReport.h"

#include <QMessageBox>

namespace nomilo {

QString ApplicationTitle = QStringLiteral("Tarvolen");

QString ErrorReportText(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return QString::fromStdString(text);
}

void ShowErrorReport(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, ErrorReportText(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

TNomiloApplication::TNomiloApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TNomiloApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    Guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace nomilo
