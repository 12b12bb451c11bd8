#pragma once

#include "rename/Refusal.h"

#include <QString>
#include <QTranslator>
#include <system_error>
#include <vector>

class QWidget;

namespace nomilo {

// Why a rename was refused, in the current language; for a refusal without words of our own
// the system's message.
QString RefusalText(TRefusal reason, std::error_code error = {});

// The list of refused renames, one "old name -> new name: reason" a line, names decoded from
// UTF-8; after the first 1,000 lines one more tells how many are left out.
QString FailureDetails(const std::vector<TRefusedRename>& refused);

// The batch's failure message: the current language's failure text under `caption`, with a
// single OK, and the details list behind the message box's own "Show Details..." button.
void ShowRenameFailure(QWidget* owner, const QString& caption,
                       const std::vector<TRefusedRename>& refused);

// The captions of the message box's details button in the current language: Qt asks its
// translators for them each time it sets them.
class TDetailsButtonTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
};

} // namespace nomilo
