// Thunar's actions file is the user's own: it is read with Qt's XML reader, which tells whether
// it is well-formed and where each element stands, and edited as text, so that everything the
// edit does not concern keeps its bytes (layout, comments, the document type, other actions).
#include "platform/desktop/internal/ThunarActions.h"

#include "platform/desktop/internal/DesktopEntry.h"
#include "platform/desktop/internal/FolderEntryTexts.h"
#include "platform/text/Utf8Text.h"

#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <algorithm>
#include <unordered_map>

namespace nomilo {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The end tag of an empty <actions/> that the publishing opened. It tells the element apart
// from one the user wrote, so that it closes again when the last of our actions goes.
const QString kOpenedEndTag = QStringLiteral("</actions >");

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

bool IsOurs(const QString& id) {
    return IsOurThunarActionId(id.toStdString());
}

// The unique ids of the actions, ours and the others apart, each sorted.
std::pair<QStringList, QStringList> ActionIds(const Layout& layout) {
    QStringList ours, others;
    for (const Layout::Action& action : layout.actions)
        (IsOurs(action.id) ? ours : others).append(action.id);
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

namespace {

// The element <actions> that the publishing opened, holding nothing but the line break it was
// opened with, closed again: "<actions ...>\n</actions >" becomes "<actions .../>".
QString ClosedAgain(const QString& text) {
    const Layout layout = Read(text);
    if (!layout.damage.isEmpty() || !layout.actions.empty() ||
        QStringView(text).mid(layout.rootEndFrom, layout.rootEndTo - layout.rootEndFrom) !=
            kOpenedEndTag ||
        QStringView(text).mid(layout.rootStartTo, layout.rootEndFrom - layout.rootStartTo) !=
            QLatin1String("\n"))
        return text;
    return text.left(layout.rootStartTo - 1) + QStringLiteral("/>") + text.mid(layout.rootEndTo);
}

} // namespace

ThunarEdit EditThunarActions(std::string_view bytes, const std::vector<ThunarAction>& ours) {
    // The mark is the user's byte too; the reader is given the text after it.
    const bool marked = bytes.starts_with(kByteOrderMark);
    if (marked)
        bytes.remove_prefix(kByteOrderMark.size());
    if (!IsUtf8(bytes))
        return {std::nullopt, "it is not UTF-8 text"};
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const Layout layout = Read(text);
    if (!layout.damage.isEmpty())
        return {std::nullopt, layout.damage.toStdString()};

    std::vector<bool> placed(ours.size(), false);
    // Ours by id, each taking the place of the first action of its id.
    std::unordered_map<std::string_view, std::size_t> byId;
    for (std::size_t i = 0; i < ours.size(); ++i)
        byId.emplace(ours[i].id, i);
    std::vector<Edit> edits;
    for (const Layout::Action& action : layout.actions) {
        if (!IsOurs(action.id))
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

    // New actions go where removing them again gives the file back byte for byte: on lines of
    // their own before an end tag that begins its line, else inside the line, right before it.
    const bool empty = layout.rootEndFrom == layout.rootEndTo; // <actions/>
    const qsizetype at = empty ? layout.rootStartTo
                               : WholeLines(text, layout.rootEndFrom, layout.rootEndTo).from;
    const bool ownLines = empty || at == 0 || text[at - 1] == QLatin1Char('\n');
    QString added;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        if (placed[i])
            continue;
        added += QString::fromStdString(ours[i].xml);
        if (!ownLines && added.endsWith(QLatin1Char('\n')))
            added.chop(1);
    }
    if (!added.isEmpty() && empty) {
        // The start tag opens the element, which now holds our actions.
        const QString start =
            text.mid(layout.rootStartFrom, layout.rootStartTo - layout.rootStartFrom - 2) +
            QLatin1Char('>');
        edits.push_back({layout.rootStartFrom, layout.rootStartTo,
                         start + QLatin1Char('\n') + added + kOpenedEndTag});
    } else if (!added.isEmpty()) {
        edits.push_back({at, at, added});
    }
    // The edit is checked before anyone writes it: well-formed, every other action kept, ours
    // exactly as wanted.
    const bool changed = !edits.empty();
    QString edited = Apply(text, std::move(edits));
    if (changed)
        edited = ClosedAgain(edited);
    const Layout check = Read(edited);
    QStringList wantedIds;
    for (const ThunarAction& action : ours)
        wantedIds.append(QString::fromStdString(action.id));
    wantedIds.sort();
    if (!check.damage.isEmpty() ||
        ActionIds(check) != std::pair(wantedIds, ActionIds(layout).second))
        return {std::nullopt, "it could not be edited without harm"};
    return {std::string(marked ? kByteOrderMark : "") + edited.toStdString(), std::string()};
}

} // namespace nomilo
