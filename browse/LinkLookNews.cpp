#include "browse/LinkLookNews.h"

#include "platform/files/LinkLooks.h"
#include "platform/files/ResponsiveCalls.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace nomilo {

namespace {

// How often a correction asks again whether the wait that held it up is over.
constexpr int kRetryMs = 50;

} // namespace

TLinkLookNews::TLinkLookNews(QObject* parent) : QObject(parent) {
    // Called on a look's thread, with the looks' lock held: only a post to the window's thread.
    SetLinkLookListener([this](const std::string& folder) {
        const QByteArray bytes(folder.data(), static_cast<qsizetype>(folder.size()));
        QMetaObject::invokeMethod(
            this, [this, bytes] { emit Answered(bytes); }, Qt::QueuedConnection);
    });
}

TLinkLookNews::~TLinkLookNews() {
    SetLinkLookListener({}); // no look posts to a relay that is gone
}

TLinkLookNews& TLinkLookNews::Instance() {
    static QPointer<TLinkLookNews> news;
    if (!news)
        news = new TLinkLookNews(QCoreApplication::instance());
    return *news;
}

void WhenNoCallWaits(QObject* context, const std::function<void()>& correct) {
    if (!CallWaitsOnThisThread()) {
        correct();
        return;
    }
    QTimer::singleShot(kRetryMs, context,
                       [context, correct] { WhenNoCallWaits(context, correct); });
}

} // namespace nomilo
