#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>

namespace nomilo {

// Brings the news of a look through another mount (platform/files/LinkLooks.h) whose answer
// changed what a link counts as to the window's thread: the lists that show the link's folder
// then correct themselves.
class TLinkLookNews : public QObject {
    Q_OBJECT

public:
    // The one relay, made on first use and gone with the application object.
    static TLinkLookNews& Instance();
    ~TLinkLookNews() override;

signals:
    // A link in `folder` (an absolute path, as its read gave it) counts as something else now.
    void Answered(const QByteArray& folder);

private:
    explicit TLinkLookNews(QObject* parent);
};

// Runs `correct` now, or, while a call of this thread waits on a server (RunResponsively), once
// that wait is over: a list is not read again in the middle of another read.
void WhenNoCallWaits(QObject* context, const std::function<void()>& correct);

} // namespace nomilo
