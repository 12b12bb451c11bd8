#include "platform/desktop/internal/FolderEntryTexts.h"

#include "platform/desktop/internal/DesktopEntry.h"

namespace nomilo {

namespace {

constexpr std::string_view kFilePrefix = "nomilo-folder-";

std::string Marker() {
    return std::string(kGeneratedMarker) + "\n";
}

// Text as the content of an XML element: the markup characters as entities, and a carriage
// return as a character reference, which the reader would otherwise turn into a line feed.
std::string XmlText(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '\r':
            escaped += "&#13;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// A Nemo name expands "%" tokens; "%%" shows one "%".
std::string NemoLiteral(std::string_view text) {
    std::string literal;
    for (const char c : text) {
        if (c == '%')
            literal += '%';
        literal += c;
    }
    return literal;
}

} // namespace

std::string VerbCaption(const FolderVerb& verb) {
    std::string caption = DesktopDisplayText(StripAccelerator(verb.label));
    if (caption.empty())
        caption = DesktopDisplayText(verb.name);
    return caption;
}

std::optional<std::string> ServiceMenuText(const FolderVerb& verb) {
    const std::optional<std::string> exec =
        DesktopExecValue(verb.command, "%f", PercentSigns::Literal);
    if (!exec)
        return std::nullopt;
    // KDE shows an action's "&" as it stands: the caption is the plain text.
    const std::string name = EscapeDesktopString(VerbCaption(verb));
    return "[Desktop Entry]\n"
           "Type=Service\n"
           "Name=" + name + "\n"
           "MimeType=inode/directory;\n"
           "Actions=open;\n"
           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
           "X-KDE-Priority=TopLevel\n"
           "X-KDE-RequiredNumberOfUrls=1\n" +
           Marker() +
           "\n"
           "[Desktop Action open]\n"
           "Name=" + name + "\n"
           "Icon=nomilo\n"
           "Exec=" + *exec + "\n";
}

std::optional<std::string> FileManagerActionText(const FolderVerb& verb) {
    const std::optional<std::string> exec = DesktopExecValue(verb.command, "%f");
    if (!exec)
        return std::nullopt;
    return "[Desktop Entry]\n"
           "Type=Action\n"
           "Name=" + EscapeDesktopString(VerbCaption(verb)) + "\n"
           "Icon=nomilo\n"
           "Profiles=folder;\n" +
           Marker() +
           "\n"
           "[X-Action-Profile folder]\n"
           "MimeTypes=inode/directory;\n"
           "SelectionCount==1\n"
           "Exec=" + *exec + "\n";
}

std::optional<std::string> NemoActionText(const FolderVerb& verb) {
    const std::optional<std::string> exec = DesktopExecValue(verb.command, "%F");
    if (!exec)
        return std::nullopt;
    return "[Nemo Action]\n"
           "Name=" + EscapeDesktopString(NemoLiteral(VerbCaption(verb))) + "\n"
           "Comment=\n"
           "Exec=" + *exec + "\n"
           "Icon-Name=nomilo\n"
           "Selection=s\n"
           "Extensions=dir;\n" +
           Marker();
}

// The script's steps before the command. The file managers' own argument is not to be trusted
// (they run the script through a launcher that expands "%" codes in the chosen name, and leave
// out the path list for a name that is not UTF-8), so the first selected URI is decoded byte by
// byte; the argument and the current folder come after it.
constexpr std::string_view kScriptSteps = R"sh(nl='
'
# The folder a file: URI names, its %XX escapes decoded, in $folder; false for anything else.
uri_folder() {
    rest=${1#file://}
    case $1 in file:///*) ;; *) return 1 ;; esac
    path=
    while [ -n "$rest" ]; do
        case $rest in
        %[0-9A-Fa-f][0-9A-Fa-f]*)
            hex=${rest#%}
            hex=${hex%"${hex#??}"}
            byte=$(printf '%bx' "\\0$(printf %o "0x$hex")")
            path=$path${byte%x}
            rest=${rest#%??}
            ;;
        *)
            path=$path${rest%"${rest#?}"}
            rest=${rest#?}
            ;;
        esac
    done
    [ -d "$path" ] && folder=$path
}
uris=${NAUTILUS_SCRIPT_SELECTED_URIS:-${CAJA_SCRIPT_SELECTED_URIS-}}
if ! uri_folder "${uris%%"$nl"*}"; then
    folder=$PWD
    if [ -d "${1-}" ]; then
        case $1 in
        /*) folder=$1 ;;
        *) folder=$PWD/$1 ;;
        esac
    fi
fi
)sh";

std::optional<std::string> FolderScriptText(const FolderVerb& verb) {
    const std::optional<std::string> command = ShellCommand(verb.command, "\"$folder\"");
    if (!command)
        return std::nullopt;
    return "#!/bin/sh\n"
           "# Opens the chosen folder in Nomilo, which wrote this file and keeps it up to date.\n"
           "# " + Marker() + std::string(kScriptSteps) + "exec " + *command + "\n";
}

std::string FolderScriptName(const FolderVerb& verb) {
    std::string name = VerbCaption(verb);
    for (char& c : name)
        if (c == '/')
            c = '_';
    if (name.empty() || name.front() == '.')
        name.insert(0, "_");
    return name;
}

std::string FolderVerbFileName(const std::string& verbName, std::string_view suffix) {
    return std::string(kFilePrefix) + FileNamePart(verbName) + std::string(suffix);
}

bool IsFolderVerbFileName(std::string_view name, std::string_view suffix) {
    return name.size() > kFilePrefix.size() + suffix.size() && name.starts_with(kFilePrefix) &&
           name.ends_with(suffix);
}

std::string ThunarActionId(const std::string& verbName) {
    return std::string(kThunarIdPrefix) + FileNamePart(verbName);
}

std::optional<std::string> ThunarActionXml(const FolderVerb& verb) {
    const std::optional<std::string> command = QuotedCommand(verb.command, "%f");
    if (!command || !IsEntryText(*command))
        return std::nullopt;
    return "<action>\n"
           "\t<icon>nomilo</icon>\n"
           "\t<name>" + XmlText(VerbCaption(verb)) + "</name>\n"
           "\t<submenu></submenu>\n"
           "\t<unique-id>" + XmlText(ThunarActionId(verb.name)) + "</unique-id>\n"
           "\t<command>" + XmlText(*command) + "</command>\n"
           "\t<description></description>\n"
           "\t<range></range>\n"
           "\t<patterns>*</patterns>\n"
           "\t<directories/>\n"
           "</action>\n";
}

} // namespace nomilo
