#include "cli/RenameCommand.h"

#include "cli/CommandLine.h"
#include "cli/EUsage.h"
#include "cli/ListedFiles.h"
#include "cli/NameText.h"
#include "cli/ProgressBar.h"
#include "cli/Report.h"
#include "facts/FolderFacts.h"
#include "facts/ReaderProcess.h"
#include "listing/TreeWalk.h"
#include "platform/drives/Drives.h"
#include "platform/drives/VolumeCase.h"
#include "platform/files/CurrentDir.h"
#include "platform/files/DirListing.h"
#include "platform/files/DirSearch.h"
#include "platform/files/EInOutError.h"
#include "platform/files/FolderMoves.h"
#include "platform/files/MoveFile.h"
#include "platform/files/SameFolder.h"
#include "platform/journal/JournalFile.h"
#include "platform/process/DeferredTermination.h"
#include "rename/RenamePreview.h"
#include "rename/UndoJournal.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace nomilo {

namespace {

std::vector<std::string> EveryNameOfFolder(std::size_t listed);

// Unknown FILEs are named one by one up to this many.
constexpr std::size_t kNamedUnknown = 10;

// The name in FOLDER of each FILE: a name as it stands, a path by its last part when its folder
// is FOLDER; with subfolders included, by its parts below FOLDER when a folder above it is
// FOLDER. Run from the directory the command started in, where relative paths belong.
std::vector<std::string> NamesInFolder(const std::vector<std::string>& files,
                                       const std::string& folder, bool subfolders) {
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const std::string& file : files) {
        std::size_t slash = file.rfind('/');
        if (slash == std::string::npos) {
            names.push_back(file);
            continue;
        }
        const auto notInFolder = [&] {
            return EUsage("'" + EscapedName(file) + "' is not a file in FOLDER '" +
                          EscapedName(folder) + "'");
        };
        if (slash + 1 == file.size() && !subfolders)
            throw notInFolder();
        // A folder named with a slash at its end is that folder.
        const std::size_t end = file.find_last_not_of('/');
        if (end == std::string::npos)
            throw notInFolder();
        slash = file.rfind('/', end);
        for (;;) {
            const std::string parent = slash == 0 ? "/" : file.substr(0, slash);
            if (SameFolder(parent, folder)) {
                names.push_back(file.substr(slash + 1, end - slash));
                break;
            }
            if (!subfolders || slash == 0 ||
                (slash = file.rfind('/', slash - 1)) == std::string::npos)
                throw notInFolder();
        }
    }
    return names;
}

// Whether the volume of `folder` ignores the letter case of names.
bool CaseBlind(const std::string& folder, const std::vector<TDrive>& drives) {
    const std::string mountPoint = DriveOfPath(folder, drives);
    for (const TDrive& drive : drives)
        if (drive.mountPoint == mountPoint)
            return !VolumeCaseOfType(drive.fsType).caseSensitive;
    return false;
}

std::error_code CancelledError() {
    return std::make_error_code(std::errc::operation_canceled);
}

// The renames of a batch or an undo, done through MoveFile one by one and told as they are done,
// with a bar on a terminal for a long run. Once a termination signal came, the renames not yet
// begun are refused as cancelled, so that the journal ends in order.
class TReportedRenames {
public:
    // `undo`: the renames are renames back, and a refused one stays in the journal.
    TReportedRenames(TReport& report, bool showProgress, bool sameTerminal, bool undo = false)
        : report_(report), showProgress_(showProgress), sameTerminal_(sameTerminal),
          fate_(undo ? TUndoFate::Kept : TUndoFate::None) {}

    // The work begins: `total` renames (0 when not known), which termination signals now wait
    // for.
    void Begin(std::size_t total) {
        deferral_.emplace();
        if (showProgress_) {
            progress_.emplace(stderr, total);
            report_.SetProgress(&*progress_, sameTerminal_);
        }
    }

    // Renames one file; once a termination signal came, refuses as cancelled.
    std::error_code Move(const std::string& oldName, const std::string& newName,
                         IMoveWitness* witness) {
        if (!deferral_)
            Begin(0);
        if (TDeferredTermination::Pending()) {
            ++cancelled_;
            return CancelledError();
        }
        return moves_.Move(oldName, newName, witness);
    }
    // Tells how one rename went (a cancelled one is told at the end, with the rest left).
    void Tell(std::string_view oldName, std::string_view newName, std::error_code refusal) {
        if (refusal == CancelledError())
            return;
        if (refusal)
            report_.Refused(oldName, newName, RefusalOf(refusal), refusal, fate_);
        else
            report_.Renamed(oldName, newName);
        if (progress_)
            progress_->Advance(++done_);
    }
    // Renames, and leaves the telling to the batch, which judges the refusal first.
    TMoveFileFn MoveFn() {
        return [this](const std::string& oldName, const std::string& newName,
                      IMoveWitness* witness) { return Move(oldName, newName, witness); };
    }
    // Renames and tells at once.
    TMoveFileFn MoveAndTellFn() {
        return [this](const std::string& oldName, const std::string& newName,
                      IMoveWitness* witness) {
            const std::error_code refusal = Move(oldName, newName, witness);
            Tell(oldName, newName, refusal);
            return refusal;
        };
    }

    bool Begun() const { return deferral_.has_value(); }
    std::size_t Cancelled() const { return cancelled_; }

    // The work is over: the bar goes; a termination signal that came meanwhile ends the process,
    // after `interrupted` has told what was left.
    void End(const std::string& interrupted) {
        report_.Flush();
        report_.SetProgress(nullptr, false);
        progress_.reset();
        if (const int signal = TDeferredTermination::Pending()) {
            report_.Error(interrupted);
            report_.Flush();
            TDeferredTermination::EndBySignal(signal);
        }
        deferral_.reset();
    }

private:
    TReport& report_;
    bool showProgress_;
    bool sameTerminal_;
    TUndoFate fate_;
    std::optional<TDeferredTermination> deferral_;
    std::optional<TProgressBar> progress_;
    TFolderMoves moves_; // files of folders below are renamed in their folders
    std::size_t done_ = 0;
    std::size_t cancelled_ = 0;
};

// Why the journal cannot be written or used.
std::string JournalTroubleText(const JournalTrouble& trouble) {
    switch (trouble.problem) {
    case JournalProblem::Busy:
        return "another process is using it";
    case JournalProblem::LockUnusable:
        return "its lock file cannot be used: " + trouble.error.message();
    case JournalProblem::Damaged:
        return "it is damaged";
    case JournalProblem::NotRegular:
        return "it is a link or not a regular file";
    case JournalProblem::NotOwned:
        return "it belongs to another user";
    case JournalProblem::WritableByOthers:
        return "other users may change it";
    case JournalProblem::NoAnswer:
        return "its folder does not answer";
    default:
        return trouble.error ? trouble.error.message() : "it cannot be written";
    }
}

// The batch's journal, which also starts the reported renames once the plan is written, tells
// each step as the batch judged it, and says so when the batch cannot be taken back.
class TCommandJournal final : public IBatchJournal {
public:
    TCommandJournal(const std::string& folder, TReportedRenames& renames, TReport& report)
        : journal_(JournalFile::DefaultPath(), folder), renames_(renames), report_(report) {}

    void Begin(const std::vector<TRenameStep>& plan) override {
        journal_.Begin(plan);
        if (!journal_.Kept())
            report_.Error("the journal " + EscapedName(JournalFile::DefaultPath()) +
                          " cannot be written (" + JournalTroubleText(journal_.Trouble()) +
                          "): this batch cannot be undone");
        renames_.Begin(plan.size());
        plan_ = &plan;
    }
    IMoveWitness* Started(std::size_t step) override { return journal_.Started(step); }
    void Finished(std::size_t step, std::error_code refusal) override {
        journal_.Finished(step, refusal);
        renames_.Tell((*plan_)[step].oldName, (*plan_)[step].newName, refusal);
    }
    void End() override { journal_.End(); }

private:
    const std::vector<TRenameStep>* plan_ = nullptr;
    TBatchJournal journal_;
    TReportedRenames& renames_;
    TReport& report_;
};

// The facts the rule's fields need of the listed files, read before anything is planned, with
// a bar on a terminal while it takes long. The context lives in `facts`, the data in `cache`.
void ReadListedFacts(const TRenameRule& rule, const TListedFiles& entries, bool selectedOnly,
                     const std::string& folder, bool caseBlind, bool showProgress,
                     TFactsCache& cache, TEntryFacts& facts) {
    const std::size_t slash = folder.rfind('/');
    std::vector<std::string> onDisk;
    if (rule.KeepsCopiesApart())
        onDisk = EveryNameOfFolder(entries.Size());
    facts.Reset(entries.Size(), slash == std::string::npos ? folder : folder.substr(slash + 1),
                onDisk, caseBlind);
    if (rule.Needs() == NeedsNothing)
        return;
    // Only the entries the batch considers are read.
    std::vector<std::string_view> names;
    std::vector<std::size_t> read; // the entry of each name
    names.reserve(entries.Size());
    for (std::size_t i = 0; i < entries.Size(); ++i)
        if (!selectedOnly || entries.IsEntrySelected(static_cast<int>(i))) {
            names.push_back(entries.Name(i));
            read.push_back(i);
        }
    std::optional<TProgressBar> bar;
    if (showProgress)
        bar.emplace(stderr, names.size());
    std::size_t done = 0;
    TFactsReader reader(OwnReaderCommand());
    ReadFolderFacts(folder, names, rule.Needs(), cache, reader,
                    [&](std::size_t name, const TFileFacts* got) {
                        facts.Set(read[name], got);
                        if (bar)
                            bar->Advance(++done);
                    });
    if (bar)
        bar->Hide();
}

int StatusOf(const TReport& report) {
    return report.RefusedCount() ? esRefused : esDone;
}

void NoteRefusals(TReport& report, bool planned) {
    if (report.RefusedCount() == 0)
        return;
    const std::string counts = " (" + std::to_string(report.RefusedCount()) + " of " +
                               std::to_string(report.RefusedCount() + report.RenamedCount()) + ")";
    report.Note((planned ? "some files would not be renamed" : "some files could not be renamed") +
                counts);
}

int RunBatch(const TCommandOptions& options, const TRenameRule& rule, TReport& report,
             TListedFiles& entries, const std::string& folder,
             const std::vector<TDrive>& drives) {
    TReportedRenames renames(report, !options.quiet && IsTerminal(2), IsTerminal(1));
    TCommandJournal journal(folder, renames, report);
    // The files whose fields have no value are refused before the batch: they are told after it.
    const auto tellRuleRefusals = [&](const std::vector<TRefusedRename>& refused) {
        for (const TRefusedRename& rename : refused)
            if (IsFieldRefusal(RefusalOf(rename.error)))
                report.Refused(rename.oldName, rename.newName, RefusalOf(rename.error),
                               rename.error);
    };
    RenameBatch(entries, options.inputs.selectedOnly, rule, renames.MoveFn(), tellRuleRefusals,
                &journal, CaseBlind(folder, drives));
    const std::size_t total = report.RenamedCount() + report.RefusedCount() + renames.Cancelled();
    const bool begun = renames.Begun();
    renames.End("interrupted after " + std::to_string(report.RenamedCount()) + " of " +
                std::to_string(total) +
                " renames; 'nomilo-rename --undo' takes back those done");
    if (!begun && report.RefusedCount() == 0) {
        report.Note("nothing to rename");
        return esDone;
    }
    NoteRefusals(report, false);
    return StatusOf(report);
}

// Every name of the current directory, whatever its kind, but "." and "..": from the reading
// the file list's search made, where one is shared. There are about `listed` or more.
std::vector<std::string> EveryNameOfFolder(std::size_t listed) {
    std::vector<std::string> names;
    names.reserve(listed);
    SearchCurrentDir("*", 0, 0, [&](std::string_view name, std::uint32_t) {
        if (name != "." && name != "..")
            names.emplace_back(name);
    });
    return names;
}

int RunDryRun(const TCommandOptions& options, const TRenameRule& rule, TReport& report,
              const TListedFiles& entries, const std::string& folder,
              const std::vector<TDrive>& drives) {
    // One prediction: the entries are not numbered first, and it works in the preview's own
    // table.
    std::optional<TRenamePreview> preview;
    if (entries.Folders().Count() > 0) {
        preview.emplace(ReadPreviewFolders(entries.Folders().Paths(), CaseBlind(folder, drives)));
    } else {
        DirListing listing = ListCurrentDir(EveryNameOfFolder(entries.Size()));
        TSharedFolderRead::EndSharing(); // the reading has served both: its room goes to the
                                         // preview
        preview.emplace(TPreviewFolder{std::move(listing.names), listing.nameMax, listing.writable,
                                       CaseBlind(folder, drives), std::move(listing.pinned)});
    }
    TPreview predicted;
    std::move(*preview).Predict(entries, options.inputs.selectedOnly, rule, predicted);
    preview.reset();
    std::string newPath;
    for (std::size_t i = 0; i < predicted.Size(); ++i) {
        const TPreviewEntryView entry = predicted[i];
        if (entry.mark == TPreviewEntry::Untouched)
            continue;
        const std::string oldPath = entries.Path(i);
        // The new name in the entry's folder: the path of the old one, its last part replaced.
        newPath.assign(oldPath, 0, oldPath.size() - entries.Name(i).size());
        newPath.append(entry.newName);
        if (entry.mark == TPreviewEntry::Renamed)
            report.Renamed(oldPath, newPath);
        else
            report.Refused(oldPath, newPath, entry.reason);
    }
    report.Flush();
    if (report.RenamedCount() + report.RefusedCount() == 0) {
        report.Note("nothing to rename");
        return esDone;
    }
    NoteRefusals(report, true);
    return StatusOf(report);
}

// Names the folders a walk down FOLDER's tree left out, each once.
void ReportLeftOut(const TTreeLeftOut& leftOut, TReport& report) {
    for (const TTreeLeftOut::TFolder& left : leftOut.folders)
        report.Error(left.error == EXDEV
                         ? "left out the folder '" + EscapedName(left.path) +
                               "': it is on another file system"
                         : "cannot read the folder '" + EscapedName(left.path) +
                               "': " + std::strerror(left.error) + "; the rest is listed");
}

// Renames in FOLDER, or shows what that would do.
int RunRename(const TCommandOptions& options, TReport& report) {
    // A find or replace text the rule cannot use is told before the folder is even entered.
    TRenameRule rule(options.inputs);
    if (rule.Error())
        throw ERenameRule(*rule.Error());
    const std::vector<std::string> named =
        NamesInFolder(options.files, options.folder, options.recursive);
    try {
        SetCurrentDir(options.folder);
    } catch (const EInOutError& error) {
        report.Error("cannot enter the folder '" + EscapedName(options.folder) +
                     "': " + error.what());
        return esFolder;
    }
    if (const int error = FolderReadError(".")) {
        report.Error("cannot read the folder '" + EscapedName(options.folder) +
                     "': " + std::strerror(error));
        return esFolder;
    }
    const std::string folder = GetCurrentDir();
    const std::vector<TDrive> drives = ListDrives();
    const TNetworkMounts network = OtherRemoteMountPoints(folder, RemoteMountPoints());
    // A dry run of one folder reads it once for the list and the preview's names.
    std::optional<TSharedFolderRead> oneReading;
    if (options.action == TCommandOptions::DryRun && !options.recursive)
        oneReading.emplace(".");
    TTreeLeftOut leftOut;
    TListedFiles entries = options.recursive
                               ? TListedFiles::ReadTree(options.mask, leftOut, network)
                               : TListedFiles::Read(options.mask, network);
    ReportLeftOut(leftOut, report);
    if (options.inputs.selectedOnly) {
        const std::vector<std::string> unknown = entries.Select(named);
        if (!unknown.empty()) {
            for (std::size_t i = 0; i < unknown.size() && i < kNamedUnknown; ++i)
                report.Error("'" + EscapedName(unknown[i]) + "' is not in the list of the folder");
            if (unknown.size() > kNamedUnknown)
                report.Error("... and " + std::to_string(unknown.size() - kNamedUnknown) +
                             " more");
            report.Error(options.recursive
                             ? "the list leaves out hidden files and folders, the folders it does "
                               "not enter and names the mask does not match; nothing was renamed"
                             : "the list leaves out hidden files, folders and names the mask does "
                               "not match; nothing was renamed");
            return esUsage;
        }
    }
    TFactsCache cache;
    TEntryFacts facts;
    if (rule.HasFields()) {
        ReadListedFacts(rule, entries, options.inputs.selectedOnly, folder,
                        CaseBlind(folder, drives),
                        !options.quiet && IsTerminal(2), cache, facts);
        rule.SetFieldContext(&facts);
    }
    if (options.action == TCommandOptions::DryRun)
        return RunDryRun(options, rule, report, entries, folder, drives);
    return RunBatch(options, rule, report, entries, folder, drives);
}

// What an undo that left renames back undone says about them and the journal.
std::string UndoneNote(std::size_t left, std::size_t givenUp, std::size_t restored) {
    const std::size_t kept = left - givenUp;
    std::string note = std::to_string(left) + " of " + std::to_string(left + restored) +
                       " files were not renamed back";
    if (givenUp == 0)
        return note + "; they stay in the journal for the next --undo";
    if (kept == 0)
        return note + " and are given up; nothing is left to undo";
    return note + ": " + std::to_string(kept) +
           (kept == 1 ? " stays" : " stay") + " in the journal for the next --undo, " +
           std::to_string(givenUp) + (givenUp == 1 ? " is" : " are") + " given up";
}

int RunUndo(const TCommandOptions& options, TReport& report) {
    TReportedRenames renames(report, !options.quiet && IsTerminal(2), IsTerminal(1), true);
    // The renames back the undo refuses without trying them are told as they are met, as those
    // MoveFile refuses are.
    auto untried = [&report](const TRefusedRename& refused, bool kept) {
        report.Refused(refused.oldName, refused.newName, RefusalOf(refused.error), refused.error,
                       kept ? TUndoFate::Kept : TUndoFate::GivenUp);
    };
    TUndoOutcome outcome;
    try {
        outcome = UndoLastBatch(JournalFile::DefaultPath(), renames.MoveAndTellFn(), {}, untried);
    } catch (const EInOutError& error) {
        renames.End("interrupted");
        report.Error(std::string("cannot enter the folder of the last batch: ") + error.what());
        return esFolder;
    }
    const std::size_t left = outcome.refused.size();
    renames.End("interrupted after " + std::to_string(report.RenamedCount()) +
                " renames back; 'nomilo-rename --undo' takes back the rest");
    if (outcome.trouble.problem != JournalProblem::None) {
        report.Error("the journal " + EscapedName(JournalFile::DefaultPath()) + " cannot be used (" +
                     JournalTroubleText(outcome.trouble) + "); nothing was renamed back");
        return esFolder;
    }
    if (outcome.folderReplaced) {
        report.Error("the folder '" + EscapedName(outcome.folder) +
                     "' is not the one the last batch renamed in (it was moved, removed or "
                     "replaced); nothing was renamed back" +
                     (outcome.givenUpWithFolder
                          ? "; its drive is there without it, so the batch can no longer be "
                            "undone"
                          : "; the batch can be undone once the folder is back (with a drive "
                            "that is connected again, for instance)"));
        return esFolder;
    }
    if (!outcome.found) {
        report.Note("nothing to undo");
        return esDone;
    }
    if (left > 0)
        report.Note(UndoneNote(left, outcome.givenUp, outcome.restored.size()));
    return StatusOf(report);
}

// Why the rule cannot rename, in the terms of the command line; the offset is counted in
// characters of the text as typed.
std::string RuleErrorText(const TRuleError& error, const TRenameInputs& inputs) {
    const bool inFind = error.part == TRuleError::FindText;
    if (inFind && !error.offset)
        return "the regular expression failed on a name: " + error.message +
               "; nothing was renamed";
    std::string text = (inFind                 ? "FIND is not a valid regular expression: "
                        : error.inField ? "REPLACE holds a field it cannot use: "
                                               : "REPLACE does not suit the regular expression: ") +
                       error.message;
    if (error.offset) {
        const std::string_view typed = inFind ? inputs.findText : inputs.replaceText;
        const std::size_t before = std::min(*error.offset, typed.size());
        text += " (offset " + std::to_string(CharacterCount(typed.substr(0, before))) + ")";
    }
    return text;
}

} // namespace

int RunRenameCommand(const std::vector<std::string>& arguments) {
    TCommandOptions options;
    try {
        options = ParseCommandLine(arguments);
        switch (options.action) {
        case TCommandOptions::Help:
            std::fputs(UsageText().c_str(), stdout);
            return esDone;
        case TCommandOptions::Version:
            std::fputs("nomilo-rename (Nomilo) " NOMILO_VERSION "\n" NOMILO_COPYRIGHT "\n", stdout);
            return esDone;
        default:
            break;
        }
        IgnoreBrokenPipe();
        TReport report(options.output, options.quiet, options.action == TCommandOptions::DryRun);
        const int status =
            options.action == TCommandOptions::Undo ? RunUndo(options, report)
                                                    : RunRename(options, report);
        report.Flush();
        return status;
    } catch (const EUsage& error) {
        std::fprintf(stderr, "nomilo-rename: %s\nTry 'nomilo-rename --help' for more information.\n",
                     error.what());
        return esUsage;
    } catch (const ERenameRule& error) {
        // Raised before the plan is written: nothing was touched.
        std::fflush(stdout);
        std::fprintf(stderr, "nomilo-rename: %s\n",
                     RuleErrorText(error.Error(), options.inputs).c_str());
        return esUsage;
    }
}

} // namespace nomilo
