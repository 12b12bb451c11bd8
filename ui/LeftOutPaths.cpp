#include "ui/LeftOutPaths.h"

#include "browse/EntryListModel.h"
#include "ui/Unit1.h"

#include <QMessageBox>
#include <QStringList>

namespace nomilo {

namespace {

constexpr std::size_t kShownPaths = 20;

QString ShownPath(const std::string& path) {
    QString shown = DecodedText(path);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    return shown;
}

} // namespace

QString LeftOutPathsText(const std::vector<TLeftOutPath>& leftOut) {
    QStringList lines{QString::fromUtf8(FeatureTexts.leftOutPaths)};
    const std::size_t shown = std::min(leftOut.size(), kShownPaths);
    for (std::size_t i = 0; i < shown; ++i)
        lines.append(
            ShownPath(leftOut[i].path) + QStringLiteral(": ") +
            QString::fromUtf8(FeatureTexts.leftOutReasons[static_cast<int>(leftOut[i].reason)]));
    // The refusals' "and so many more" says the same here.
    if (leftOut.size() > shown)
        lines.append(QString::fromUtf8(FeatureTexts.moreRefusals)
                         .arg(static_cast<qulonglong>(leftOut.size() - shown)));
    return lines.join(QLatin1Char('\n'));
}

void ShowLeftOutPaths(QWidget* owner, const QString& caption,
                      const std::vector<TLeftOutPath>& leftOut) {
    QMessageBox box(QMessageBox::Warning, caption, LeftOutPathsText(leftOut), QMessageBox::Ok,
                    owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace nomilo
