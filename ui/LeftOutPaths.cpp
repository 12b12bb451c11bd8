#include "ui/LeftOutPaths.h"

#include "browse/EntryListModel.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <cerrno>
#include <cstring>

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

QString LeftOutFoldersText(const TTreeLeftOut& leftOut) {
    QStringList lines{QString::fromUtf8(FeatureTexts.leftOutFolders)};
    const std::size_t shown = std::min(leftOut.folders.size(), kShownPaths);
    for (std::size_t i = 0; i < shown; ++i) {
        const TTreeLeftOut::TFolder& folder = leftOut.folders[i];
        const QString why = folder.error == EXDEV
                                ? QString::fromUtf8(FeatureTexts.otherFileSystem)
                                : QString::fromUtf8(FeatureTexts.unreadableFolder)
                                      .arg(QString::fromLocal8Bit(std::strerror(folder.error)));
        lines.append(ShownPath(folder.path) + QStringLiteral(": ") + why);
    }
    if (leftOut.folders.size() > shown)
        lines.append(QString::fromUtf8(FeatureTexts.moreRefusals)
                         .arg(static_cast<qulonglong>(leftOut.folders.size() - shown)));
    return lines.join(QLatin1Char('\n'));
}

void TLeftOutFolders::Tell(QWidget* owner, const QString& caption, const std::string& folder,
                           const TTreeLeftOut& leftOut) {
    TTreeLeftOut untold;
    for (const TTreeLeftOut::TFolder& left : leftOut.folders)
        if (told_.insert(folder + '/' + left.path + '\0' + std::to_string(left.error)).second)
            untold.folders.push_back(left);
    if (untold.Empty())
        return;
    QMetaObject::invokeMethod(
        owner,
        [owner = QPointer<QWidget>(owner), caption, text = LeftOutFoldersText(untold)] {
            Guarded([&] {
                QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
                box.setTextFormat(Qt::PlainText);
                box.exec();
            });
        },
        Qt::QueuedConnection);
}

void ShowLeftOutPaths(QWidget* owner, const QString& caption,
                      const std::vector<TLeftOutPath>& leftOut) {
    QMessageBox box(QMessageBox::Warning, caption, LeftOutPathsText(leftOut), QMessageBox::Ok,
                    owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace nomilo
