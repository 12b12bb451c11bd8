#pragma once

#include "rename/RenameBatch.h"
#include "ui/LanguageTables.h"

#include <QObject>
#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace nomilo {

class TRegIniFile;

// The switches of the rename rule, beyond the design: the last section of the window's context
// menu, after its own separator. Each is a checkable item, off at first and kept in the
// settings, that turns on one part of the rule, or (the last, Include subfolders) has the file
// list show the files of every folder below its own. A switch is one row of the table in the
// source file; the window asks this room for the inputs, and hears of every switch the user
// changes.
class TRuleSwitches : public QObject {
public:
    // Adds the separator and the items, in order, to the end of `menu`. `changed` runs (inside
    // the error guard) after the user switched one of them.
    TRuleSwitches(QMenu& menu, std::function<void()> changed);

    QAction* N4;
    QAction* RegularExpression1;
    QAction* EveryOccurrence1;
    QAction* Numbering1;
    QAction* Fields1;
    QAction* IncludeSubfolders1;

    // Each stored value is read on its own: one that cannot be read is reported and keeps the
    // switch off.
    void Load(TRegIniFile& settings);
    void Save(TRegIniFile& settings) const;
    // The captions in the language of `texts`.
    void ApplyTexts(const TFeatureTexts& texts);
    // Sets the parts of the rule the switches turn on.
    void FillInputs(TRenameInputs& inputs) const;
    // Whether the file list is to include subfolders.
    bool IncludeSubfolders() const;
    // Includes subfolders for this run (a start on a selection that holds folders): the item is
    // checked, and the settings keep the stored value unless the user switches it.
    void IncludeSubfoldersForThisRun();

private:
    std::optional<bool> storedSubfolders_; // while this run's value stands in for it
};

} // namespace nomilo
