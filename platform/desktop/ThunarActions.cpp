// Thunar's actions file is the user's own: it is read with Qt's XML reader, which tells whether
// it is well-formed and where each element stands, and edited as text, so that everything the
// edit does not concern keeps its bytes (layout, comments, the document type, other actions).
#include "platform/desktop/internal/ThunarActions.h"

#include "platform/desktop/internal/DesktopEntry.h"
#include "platform/desktop/internal/FolderEntryTexts.h"

#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <algorithm>
#include <unordered_map>

namespace nomilo {

namespace {

// A stretch of the text and what takes its place.
struct Edit {
    qsizetype from = 0;
    qsizetype to = 0;
    QString replacement;
};

// Where things stand in the file, as offsets into its text.
struct Layout {
    struct Action {
        qsizetype from = 0;
        qsizetype to = 0;
        QString id;
    };
    std::vector<Action> actions; // the <action> elements below the root
    qsizetype rootStartFrom = 0, rootStartTo = 0; // the root's start tag
    qsizetype rootEndFrom = 0, rootEndTo = 0;     // its end tag, empty for <actions/>
    QString damage;
};

// Where the tag that ends at `end` begins. The reader's offset before a token may already be
// past its "<", so the tag is found from its end: no tag holds a "<" of its own.
qsizetype TagStart(const QString& text, qsizetype end) {
    return text.lastIndexOf(QLatin1Char('<'), end - 1);
}

Layout Read(const QString& text) {
    Layout layout;
    QXmlStreamReader reader(text);
    int depth = 0;
    Layout::Action action;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (depth == 1) {
                if (reader.name() != QLatin1String("actions"))
                    reader.raiseError(QStringLiteral("the root element is not <actions>"));
                layout.rootStartTo = reader.characterOffset();
                layout.rootStartFrom = TagStart(text, layout.rootStartTo);
            } else if (depth == 2 && reader.name() == QLatin1String("action")) {
                action = Layout::Action{TagStart(text, reader.characterOffset()), 0, QString()};
            } else if (depth == 3 && reader.name() == QLatin1String("unique-id")) {
                action.id = reader.readElementText();
                --depth; // the element's end has been read
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 2 && reader.name() == QLatin1String("action")) {
                action.to = reader.characterOffset();
                layout.actions.push_back(action);
            } else if (depth == 1) {
                layout.rootEndTo = reader.characterOffset();
                layout.rootEndFrom = layout.rootEndTo == layout.rootStartTo
                                         ? layout.rootEndTo // <actions/>
                                         : TagStart(text, layout.rootEndTo);
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        layout.damage =
            QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
    return layout;
}

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// A stretch of the text, and whether it is made of whole lines.
struct Stretch {
    qsizetype from = 0;
    qsizetype to = 0;
    bool wholeLines = false;
};

// The stretch [from, to) widened to the whole line(s) it stands on, when nothing else does.
Stretch WholeLines(const QString& text, qsizetype from, qsizetype to) {
    qsizetype start = from;
    while (start > 0 && IsBlank(text[start - 1]))
        --start;
    qsizetype end = to;
    while (end < text.size() && IsBlank(text[end]))
        ++end;
    const bool lineStart = start == 0 || text[start - 1] == QLatin1Char('\n');
    const bool lineEnd = end == text.size() || text[end] == QLatin1Char('\n');
    if (!lineStart || !lineEnd)
        return {from, to, false};
    return {start, end < text.size() ? end + 1 : end, true};
}

// The unique ids of the actions, ours and the others apart, each sorted.
std::pair<QStringList, QStringList> ActionIds(const Layout& layout, const QString& prefix) {
    QStringList ours, others;
    for (const Layout::Action& action : layout.actions)
        (action.id.startsWith(prefix) ? ours : others).append(action.id);
    ours.sort();
    others.sort();
    return {ours, others};
}

QString Apply(const QString& text, std::vector<Edit> edits) {
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.from < b.from; });
    QString result;
    qsizetype at = 0;
    for (const Edit& edit : edits) {
        result += QStringView(text).mid(at, edit.from - at);
        result += edit.replacement;
        at = edit.to;
    }
    result += QStringView(text).mid(at);
    return result;
}

} // namespace

ThunarEdit EditThunarActions(std::string_view bytes, const std::vector<ThunarAction>& ours) {
    if (!IsUtf8(bytes))
        return {std::nullopt, "it is not UTF-8 text"};
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const Layout layout = Read(text);
    if (!layout.damage.isEmpty())
        return {std::nullopt, layout.damage.toStdString()};

    const QString prefix = QString::fromUtf8(kThunarIdPrefix.data(),
                                             static_cast<qsizetype>(kThunarIdPrefix.size()));
    std::vector<bool> placed(ours.size(), false);
    // Ours by id, each taking the place of the first action of its id.
    std::unordered_map<std::string_view, std::size_t> byId;
    for (std::size_t i = 0; i < ours.size(); ++i)
        byId.emplace(ours[i].id, i);
    std::vector<Edit> edits;
    for (const Layout::Action& action : layout.actions) {
        if (!action.id.startsWith(prefix))
            continue;
        const Stretch stretch = WholeLines(text, action.from, action.to);
        Edit edit{stretch.from, stretch.to, QString()};
        const std::string id = action.id.toStdString();
        if (const auto found = byId.find(id); found != byId.end()) {
            const std::size_t i = found->second;
            byId.erase(found);
            placed[i] = true;
            edit.replacement = QString::fromStdString(ours[i].xml);
            // Inside a line, the element alone takes the old one's place.
            if (!stretch.wholeLines && edit.replacement.endsWith(QLatin1Char('\n')))
                edit.replacement.chop(1);
        }
        edits.push_back(edit);
    }

    QString added;
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (!placed[i])
            added += QString::fromStdString(ours[i].xml);
    if (!added.isEmpty()) {
        if (layout.rootEndFrom == layout.rootEndTo) {
            // <actions/>: the start tag opens the element, which now holds our actions.
            QString start = text.mid(layout.rootStartFrom, layout.rootStartTo - layout.rootStartFrom);
            start.remove(start.lastIndexOf(QLatin1Char('/')), 1);
            edits.push_back({layout.rootStartFrom, layout.rootStartTo,
                             start + QLatin1Char('\n') + added + QStringLiteral("</actions>")});
        } else {
            const qsizetype at = WholeLines(text, layout.rootEndFrom, layout.rootEndTo).from;
            if (at == layout.rootEndFrom && at > 0 && text[at - 1] != QLatin1Char('\n'))
                added.prepend(QLatin1Char('\n'));
            edits.push_back({at, at, added});
        }
    }
    // The edit is checked before anyone writes it: well-formed, every other action kept, ours
    // exactly as wanted.
    const QString edited = Apply(text, std::move(edits));
    const Layout check = Read(edited);
    QStringList wantedIds;
    for (const ThunarAction& action : ours)
        wantedIds.append(QString::fromStdString(action.id));
    wantedIds.sort();
    if (!check.damage.isEmpty() ||
        ActionIds(check, prefix) != std::pair(wantedIds, ActionIds(layout, prefix).second))
        return {std::nullopt, "it could not be edited without harm"};
    return {edited.toStdString(), std::string()};
}

} // namespace nomilo
