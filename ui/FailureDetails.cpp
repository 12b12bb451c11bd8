#include "ui/FailureDetails.h"

#include "browse/EntryListModel.h"
#include "ui/Unit1.h"

#include <QMessageBox>
#include <QStringList>
#include <cstring>

namespace nomilo {

namespace {

constexpr std::size_t kDetailLines = 1000;

} // namespace

QString RefusalText(TRefusal reason, std::error_code error) {
    switch (reason) {
    case TRefusal::Taken:
    case TRefusal::TakenInBatch:
    case TRefusal::NotAcceptable:
    case TRefusal::TooLong:
    case TRefusal::Gone:
    case TRefusal::NoPermission:
    case TRefusal::Replaced:
        return QString::fromUtf8(
            FeatureTexts.refusals[static_cast<int>(reason) - static_cast<int>(TRefusal::Taken)]);
    case TRefusal::FolderMoved:
        return QString::fromUtf8(FeatureTexts.folderMoved);
    default:
        if (IsFieldRefusal(reason))
            return QString::fromUtf8(
                FeatureTexts.fieldRefusals[static_cast<int>(reason) -
                                           static_cast<int>(TRefusal::NoDateTaken)]);
        return QString::fromLocal8Bit(error.message());
    }
}

QString FailureDetails(const std::vector<TRefusedRename>& refused) {
    QStringList lines;
    const std::size_t shown = std::min(refused.size(), kDetailLines);
    lines.reserve(static_cast<qsizetype>(shown) + 1);
    for (std::size_t i = 0; i < shown; ++i) {
        const TRefusedRename& rename = refused[i];
        lines.append(DecodedText(rename.oldName) + QStringLiteral(" -> ") + DecodedText(rename.newName) +
                     QStringLiteral(": ") + RefusalText(RefusalOf(rename.error), rename.error));
    }
    if (refused.size() > shown)
        lines.append(QString::fromUtf8(FeatureTexts.moreRefusals)
                         .arg(static_cast<qulonglong>(refused.size() - shown)));
    return lines.join(QLatin1Char('\n'));
}

void ShowRenameFailure(QWidget* owner, const QString& caption,
                       const std::vector<TRefusedRename>& refused) {
    QMessageBox box(QMessageBox::NoIcon, caption, QString::fromStdString(FailureText),
                    QMessageBox::Ok, owner);
    if (!refused.empty())
        box.setDetailedText(FailureDetails(refused));
    box.exec();
}

QString TDetailsButtonTexts::translate(const char* context, const char* sourceText,
                                       const char*, int) const {
    if (!context || !sourceText || std::strcmp(context, "QMessageBox") != 0)
        return {};
    if (std::strcmp(sourceText, "Show Details...") == 0)
        return QString::fromUtf8(FeatureTexts.showDetails);
    if (std::strcmp(sourceText, "Hide Details...") == 0)
        return QString::fromUtf8(FeatureTexts.hideDetails);
    return {};
}

} // namespace nomilo
