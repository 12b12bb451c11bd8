#include "ui/ErrorReport.h"

#include "ui/ProgramEnd.h"

#include <QMessageBox>
#include <iostream>

namespace nomilo {

QString ApplicationTitle = QStringLiteral("Tarvolen");

QString ErrorReportText(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return QString::fromStdString(text);
}

void ShowErrorReport(const std::string& message) {
    // The program is ending: a box would only hold the end up.
    if (ReportsGoToStandardError()) {
        std::cerr << ApplicationTitle.toStdString() << ": "
                  << ErrorReportText(message).toStdString() << '\n';
        return;
    }
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
