#include "cli/Report.h"

#include "cli/NameText.h"

namespace nomilo {

namespace {

// The reasons as JSON tells them, by TRefusal.
constexpr const char* kReasonKeys[] = {
    "none", "taken", "taken-in-batch", "not-acceptable", "too-long", "gone", "no-permission",
    "replaced", "other",
    "no-date-taken", "no-creation-time", "no-camera", "no-image-size", "no-artist", "no-album",
    "no-title", "no-year", "no-genre", "no-track", "unreadable", "still-reading",
};

} // namespace

TReport::TReport(TCommandOptions::TOutput form, bool quiet, bool planned, std::FILE* out,
                 std::FILE* err)
    : form_(form), quiet_(quiet), planned_(planned), out_(out), err_(err) {}

std::string TReport::ReasonText(TRefusal reason, std::error_code error) const {
    if (reason >= TRefusal::Taken && reason <= TRefusal::Replaced)
        return kEnglishRefusalTexts[static_cast<int>(reason) - static_cast<int>(TRefusal::Taken)];
    if (IsFieldRefusal(reason))
        return kEnglishFieldRefusalTexts[static_cast<int>(reason) -
                                         static_cast<int>(TRefusal::NoDateTaken)];
    if (reason == TRefusal::FolderMoved)
        return kEnglishFolderMovedText;
    return error ? error.message() : std::string("refused");
}

void TReport::Renamed(std::string_view oldName, std::string_view newName) {
    ++renamed_;
    if (quiet_)
        return;
    line_.clear();
    switch (form_) {
    case TCommandOptions::Lines:
        AppendEscapedName(line_, oldName);
        line_ += " -> ";
        AppendEscapedName(line_, newName);
        line_ += '\n';
        break;
    case TCommandOptions::Json:
        line_ += "{\"old\":";
        line_ += JsonName(oldName);
        line_ += ",\"new\":";
        line_ += JsonName(newName);
        line_ += planned_ ? ",\"status\":\"planned\"}\n" : ",\"status\":\"renamed\"}\n";
        break;
    case TCommandOptions::NulEnded:
        line_.append(oldName);
        line_ += '\0';
        line_.append(newName);
        line_ += '\0';
        break;
    }
    Write(line_);
}

void TReport::Refused(std::string_view oldName, std::string_view newName, TRefusal reason,
                      std::error_code error, TUndoFate fate) {
    ++refused_;
    if (quiet_)
        return;
    const std::string why = ReasonText(reason, error);
    line_.clear();
    switch (form_) {
    case TCommandOptions::Json:
        line_ += "{\"old\":";
        line_ += JsonName(oldName);
        line_ += ",\"new\":";
        line_ += JsonName(newName);
        line_ += ",\"status\":\"refused\",\"reason\":\"";
        line_ += kReasonKeys[static_cast<int>(reason)];
        line_ += "\",\"message\":";
        line_ += JsonString(why);
        if (fate != TUndoFate::None)
            line_ += fate == TUndoFate::Kept ? ",\"kept\":true" : ",\"kept\":false";
        line_ += "}\n";
        Write(line_);
        return;
    case TCommandOptions::Lines:
    case TCommandOptions::NulEnded:
        AppendEscapedName(line_, oldName);
        line_ += " -> ";
        AppendEscapedName(line_, newName);
        line_ += ": ";
        line_ += why;
        if (fate != TUndoFate::None)
            line_ += fate == TUndoFate::Kept ? "; kept for the next --undo" : "; given up";
        line_ += '\n';
        // NUL-ended output holds the renames only; a refusal is for the person watching.
        if (form_ == TCommandOptions::Lines)
            Write(line_);
        else
            WriteError("nomilo-rename: refused: " + line_);
        return;
    }
}

void TReport::Note(const std::string& text) {
    if (!quiet_)
        Error(text);
}

void TReport::Error(const std::string& text) {
    WriteError("nomilo-rename: " + text + "\n");
}

void TReport::Write(std::string_view text) {
    if (outLost_)
        return;
    if (progress_ && outShowsProgress_)
        progress_->Hide();
    if (std::fwrite(text.data(), 1, text.size(), out_) != text.size())
        outLost_ = true;
}

void TReport::WriteError(std::string_view text) {
    if (progress_)
        progress_->Hide();
    // Standard output first, so that a terminal shows both in the order they came.
    if (!outLost_ && std::fflush(out_) != 0)
        outLost_ = true;
    std::fwrite(text.data(), 1, text.size(), err_);
    std::fflush(err_);
}

void TReport::Flush() {
    if (!outLost_ && std::fflush(out_) != 0)
        outLost_ = true;
    if (progress_)
        progress_->Hide();
}

} // namespace nomilo
