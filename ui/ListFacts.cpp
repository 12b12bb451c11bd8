#include "ui/ListFacts.h"

#include "browse/FileListBox.h"
#include "browse/Hourglass.h"
#include "facts/ReaderProcess.h"
#include "platform/files/DirListing.h"
#include "ui/ErrorReport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>

namespace nomilo {

namespace {

// How often the preview is made again while facts arrive.
constexpr int kTellMilliseconds = 150;

} // namespace

TListFacts::TListFacts(TFileListBox* list, std::function<bool()> caseBlind,
                       std::function<void()> changed)
    : QObject(list), list_(list), caseBlind_(std::move(caseBlind)), changed_(std::move(changed)),
      line_(new QLabel(list)) {
    setObjectName(QStringLiteral("ListFacts"));
    line_->setObjectName(QStringLiteral("StillReadingLine"));
    line_->setAutoFillBackground(true);
    line_->setMargin(2);
    line_->hide();
    tell_.setSingleShot(true);
    tell_.setInterval(kTellMilliseconds);
    connect(&tell_, &QTimer::timeout, this, [this] {
        UpdateLine();
        Guarded(changed_);
    });
    connect(&list_->Model(), &QAbstractItemModel::modelReset, this, [this] { ListChanged(); });
}

TListFacts::~TListFacts() {
    // The worker's thread ends before the facts it delivers to go.
    worker_.reset();
}

void TListFacts::ListChanged() {
    stale_ = true;
    namesRead_ = false;
    reading_ = NeedsNothing;
    if (worker_)
        worker_->Cancel();
    ++job_; // late deliveries of the job before are dropped
    UpdateLine();
}

namespace {

// The last part of `path`, or `path` itself for the root.
std::string LastPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos || path == "/" ? path
                                                                      : path.substr(slash + 1));
}

// The names on disk of each folder of `list`: its own, or with subfolders included each folder
// of its entries, in their order. The file list keeps the current directory at its folder.
std::vector<std::vector<std::string>> NamesOnDisk(const TFileListBox& list) {
    const TFolderRuns& runs = list.Model().Folders();
    if (runs.Count() == 0)
        return {ListCurrentDir().names};
    std::vector<std::vector<std::string>> names;
    for (const std::string& folder : runs.Paths())
        names.push_back(ListFolderBelow(folder).names);
    return names;
}

} // namespace

const IFieldContext* TListFacts::ContextFor(const TRenameRule& rule) {
    if (!rule.HasFields())
        return nullptr;
    const TFactNeeds needs = rule.Needs();
    const bool copies = rule.KeepsCopiesApart();
    if (stale_ || (needs & ~reading_) != 0)
        Start(static_cast<TFactNeeds>(needs | (stale_ ? NeedsNothing : reading_)), copies);
    else if (copies && !namesRead_) {
        facts_.SetNamesOnDisk(NamesOnDisk(*list_));
        namesRead_ = true;
    }
    return &facts_;
}

void TListFacts::Start(TFactNeeds needs, bool copies) {
    const std::string& folder = list_->FolderPath();
    facts_.Reset(static_cast<std::size_t>(list_->EntryCount()), LastPart(folder), {},
                 caseBlind_());
    // With subfolders included each entry's folder is its own.
    const TFolderRuns& runs = list_->Model().Folders();
    if (runs.Count() > 0) {
        std::vector<std::uint32_t> firsts;
        std::vector<std::string> names;
        for (std::size_t run = 0; run < runs.Count(); ++run) {
            firsts.push_back(runs.First(run));
            names.push_back(runs.Path(run).empty() ? LastPart(folder) : LastPart(runs.Path(run)));
        }
        facts_.SetFolders(std::move(firsts), std::move(names));
    }
    if (copies)
        facts_.SetNamesOnDisk(NamesOnDisk(*list_));
    namesRead_ = copies;
    stale_ = false;
    reading_ = needs;
    if (needs == NeedsNothing)
        return;
    if (!worker_)
        worker_ = std::make_unique<TFactsWorker>(
            OwnReaderCommand(),
            [this](std::uint64_t job, std::vector<std::pair<int, const TFileFacts*>> facts,
                   bool finished) {
                QMetaObject::invokeMethod(
                    this,
                    [this, job, facts = std::move(facts), finished] {
                        Arrived(job, facts, finished);
                    },
                    Qt::QueuedConnection);
            });
    std::vector<std::string> names;
    names.reserve(facts_.Size());
    for (int i = 0; i < list_->EntryCount(); ++i)
        names.push_back(list_->EntryPath(i)); // in the list's folder
    // The rows in view are read first.
    std::vector<int> first;
    const QModelIndex top = list_->indexAt(QPoint(1, 1));
    for (int row = top.isValid() ? top.row() : 0; row < list_->EntryCount(); ++row) {
        if (!list_->visualRect(list_->model()->index(row, 0)).intersects(list_->viewport()->rect()))
            break;
        first.push_back(row);
    }
    job_ = worker_->Start(folder, std::move(names), needs, std::move(first));
    UpdateLine();
}

void TListFacts::Arrived(std::uint64_t job,
                         const std::vector<std::pair<int, const TFileFacts*>>& facts,
                         bool finished) {
    if (job != job_)
        return;
    for (const auto& [entry, read] : facts)
        facts_.Set(static_cast<std::size_t>(entry), read);
    if (finished) {
        tell_.stop();
        UpdateLine();
        Guarded(changed_);
    } else if (!tell_.isActive()) {
        tell_.start();
    }
}

void TListFacts::UpdateLine() {
    const bool reading = reading_ != NeedsNothing && !stale_ && facts_.Missing() > 0;
    if (!reading) {
        line_->hide();
        return;
    }
    line_->setText(stillReadingText_.arg(static_cast<qulonglong>(facts_.Missing())));
    const QRect view = list_->viewport()->geometry();
    const int height = line_->sizeHint().height();
    line_->setGeometry(view.left(), view.bottom() + 1 - height, view.width(), height);
    line_->show();
    line_->raise();
}

bool TListFacts::WaitFor(const TRenameRule& rule) {
    ContextFor(rule);
    if (rule.Needs() == NeedsNothing || facts_.Missing() == 0)
        return true;
    THourglass hourglass;
    hourglass.Show();
    const int total = static_cast<int>(facts_.Size());
    QProgressDialog progress(waitingText_, cancelText_, 0, total, list_->window());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(200);
    while (facts_.Missing() > 0 && !progress.wasCanceled()) {
        progress.setValue(total - static_cast<int>(facts_.Missing()));
        QEventLoop wait;
        QTimer::singleShot(50, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return facts_.Missing() == 0;
}

} // namespace nomilo
