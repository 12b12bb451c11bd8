#include "ui/RuleSwitches.h"

#include "settings/SettingsKeys.h"
#include "settings/TRegIniFile.h"
#include "ui/ErrorReport.h"

#include <QAction>
#include <QMenu>

namespace nomilo {

namespace {

// One switch: its item, the item's object name, where the settings keep it, its caption in the
// language tables and the part of the rule it turns on (none for the list's switch).
struct TRuleSwitch {
    QAction* TRuleSwitches::*item;
    const char* name;
    const char* settingsValue;
    const char* TFeatureTexts::*caption;
    bool TRenameInputs::*input;
};

// In the menu's order.
const TRuleSwitch kRuleSwitches[] = {
    {&TRuleSwitches::RegularExpression1, "RegularExpression1", kRegularExpressionValue,
     &TFeatureTexts::regularExpression1Caption, &TRenameInputs::regularExpression},
    {&TRuleSwitches::EveryOccurrence1, "EveryOccurrence1", kEveryOccurrenceValue,
     &TFeatureTexts::everyOccurrence1Caption, &TRenameInputs::everyOccurrence},
    {&TRuleSwitches::Numbering1, "Numbering1", kNumberingValue, &TFeatureTexts::numbering1Caption,
     &TRenameInputs::numbering},
    {&TRuleSwitches::Fields1, "Fields1", kFieldsValue, &TFeatureTexts::fields1Caption,
     &TRenameInputs::fields},
    {&TRuleSwitches::IncludeSubfolders1, "IncludeSubfolders1", kIncludeSubfoldersValue,
     &TFeatureTexts::includeSubfolders1Caption, nullptr},
};

} // namespace

TRuleSwitches::TRuleSwitches(QMenu& menu, std::function<void()> changed) : QObject(&menu) {
    setObjectName(QStringLiteral("RuleSwitches"));
    N4 = menu.addSeparator();
    N4->setObjectName(QStringLiteral("N4"));
    const TFeatureTexts& english = kLanguageTables[1].features;
    for (const TRuleSwitch& row : kRuleSwitches) {
        QAction* action = menu.addAction(QString::fromUtf8(english.*row.caption));
        action->setObjectName(QString::fromLatin1(row.name));
        action->setCheckable(true);
        this->*row.item = action;
        // The toolkit has checked or unchecked the item by the time it is triggered. The user's
        // choice is the one to keep.
        connect(action, &QAction::triggered, this, [this, changed, action] {
            if (action == IncludeSubfolders1)
                storedSubfolders_.reset();
            Guarded(changed);
        });
    }
}

void TRuleSwitches::Load(TRegIniFile& settings) {
    for (const TRuleSwitch& row : kRuleSwitches)
        Guarded(
            [&] { (this->*row.item)->setChecked(settings.ReadFlag(row.settingsValue, false)); });
}

void TRuleSwitches::Save(TRegIniFile& settings) const {
    for (const TRuleSwitch& row : kRuleSwitches) {
        const bool checked = (this->*row.item)->isChecked();
        settings.WriteFlag(row.settingsValue, row.item == &TRuleSwitches::IncludeSubfolders1
                                                  ? storedSubfolders_.value_or(checked)
                                                  : checked);
    }
}

void TRuleSwitches::ApplyTexts(const TFeatureTexts& texts) {
    for (const TRuleSwitch& row : kRuleSwitches)
        (this->*row.item)->setText(QString::fromUtf8(texts.*row.caption));
}

void TRuleSwitches::FillInputs(TRenameInputs& inputs) const {
    for (const TRuleSwitch& row : kRuleSwitches)
        if (row.input)
            inputs.*row.input = (this->*row.item)->isChecked();
}

bool TRuleSwitches::IncludeSubfolders() const {
    return IncludeSubfolders1->isChecked();
}

void TRuleSwitches::IncludeSubfoldersForThisRun() {
    if (!storedSubfolders_)
        storedSubfolders_ = IncludeSubfolders1->isChecked();
    IncludeSubfolders1->setChecked(true);
}

} // namespace nomilo
