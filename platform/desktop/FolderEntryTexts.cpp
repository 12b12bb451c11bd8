#include "platform/desktop/internal/FolderEntryTexts.h"

#include "platform/desktop/internal/DesktopEntry.h"
#include "platform/text/AsciiText.h"

namespace nomilo {

namespace {

constexpr std::string_view kFilePrefix = "nomilo-folder-";
constexpr std::string_view kFilesFilePrefix = "nomilo-files-";
// The verb the program's install item writes.
constexpr std::string_view kProgramVerbName = "nomilo";
// What takes the place of the folder placeholder in the program's entries for files.
constexpr std::string_view kSelectOption = "--select";

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

// `code` after the option that makes the program take its paths as a selection.
std::string SelectionCode(std::string_view code) {
    return std::string(kSelectOption) + " " + std::string(code);
}

bool HasPrefixAndSuffix(std::string_view name, std::string_view prefix, std::string_view suffix) {
    return name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) &&
           name.ends_with(suffix);
}

} // namespace

bool TakesSelections(const FolderVerb& verb) {
    return EqualIgnoringAsciiCase(verb.name, kProgramVerbName);
}

std::string VerbCaption(const FolderVerb& verb) {
    std::string caption = DesktopDisplayText(StripAccelerator(verb.label));
    if (caption.empty())
        caption = DesktopDisplayText(verb.name);
    return caption;
}

namespace {

// A KDE service menu for the MIME type `mimeType` that runs the verb with `code` in place of its
// placeholder; `restriction` is a line that limits it further, or nothing.
std::optional<std::string> ServiceMenu(const FolderVerb& verb, std::string_view mimeType,
                                       std::string_view code, std::string_view restriction) {
    const std::optional<std::string> exec =
        DesktopExecValue(verb.command, code, PercentSigns::Literal);
    if (!exec)
        return std::nullopt;
    // KDE shows an action's "&" as it stands: the caption is the plain text.
    const std::string name = EscapeDesktopString(VerbCaption(verb));
    return "[Desktop Entry]\n"
           "Type=Service\n"
           "Name=" + name + "\n"
           "MimeType=" + std::string(mimeType) + ";\n"
           "Actions=open;\n"
           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
           "X-KDE-Priority=TopLevel\n" +
           std::string(restriction) +
           Marker() +
           "\n"
           "[Desktop Action open]\n"
           "Name=" + name + "\n"
           "Icon=nomilo\n"
           "Exec=" + *exec + "\n";
}

} // namespace

std::optional<std::string> ServiceMenuText(const FolderVerb& verb) {
    return ServiceMenu(verb, "inode/directory", "%f", "X-KDE-RequiredNumberOfUrls=1\n");
}

// "all/allfiles" is every file that is no folder; KDE shows the menu only when every item of
// the selection matches.
std::optional<std::string> ServiceMenuFilesText(const FolderVerb& verb) {
    if (!TakesSelections(verb))
        return std::nullopt;
    return ServiceMenu(verb, "all/allfiles", SelectionCode("%F"), "");
}

namespace {

// The condition that keeps a file-manager action out of Caja, whose Scripts menu has the verb
// whether its actions extension is there or not: a command the file manager runs as its own
// child, which writes "true" (nothing more: caja-actions takes no line feed) unless its parent
// process is Caja. Desktop names would not do: Caja runs outside MATE, and PCManFM, which has no
// scripts, inside it.
constexpr std::string_view kNotInCaja =
    R"(/bin/sh -c 'read -r caller < /proc/$PPID/comm; [ "$caller" = caja ] && printf false || printf true')";

// A file-manager action with one profile, `profile`, for the MIME type `mimeType` and the
// selection count `count`, that runs the verb with `code` in place of its placeholder.
std::optional<std::string> FileManagerAction(const FolderVerb& verb, std::string_view profile,
                                             std::string_view mimeType, std::string_view count,
                                             std::string_view code) {
    const std::optional<std::string> exec = DesktopExecValue(verb.command, code);
    if (!exec)
        return std::nullopt;
    const std::string profileName(profile);
    return "[Desktop Entry]\n"
           "Type=Action\n"
           "Name=" + EscapeDesktopString(VerbCaption(verb)) + "\n"
           "Icon=nomilo\n"
           "Profiles=" + profileName + ";\n"
           "ShowIfTrue=" + std::string(kNotInCaja) + "\n" +
           Marker() +
           "\n"
           "[X-Action-Profile " + profileName + "]\n"
           "MimeTypes=" + std::string(mimeType) + ";\n"
           "SelectionCount=" + std::string(count) + "\n"
           "Exec=" + *exec + "\n";
}

// A Nemo action for the selection `selection` of the kinds `extensions`, that runs the verb with
// `code` in place of its placeholder. Nemo puts the paths or URIs of a field code into the line
// as text and splits the line as the shell would; unquoted, a URI's "'" (which URIs keep) opens
// a quote, and a path loses a line feed. With Quote=double each path or URI goes in double
// quotes, its '"', '\', '$' and '`' escaped, and comes out whole.
std::optional<std::string> NemoAction(const FolderVerb& verb, std::string_view selection,
                                      std::string_view extensions, std::string_view code) {
    const std::optional<std::string> exec = DesktopExecValue(verb.command, code);
    if (!exec)
        return std::nullopt;
    return "[Nemo Action]\n"
           "Name=" + EscapeDesktopString(NemoLiteral(VerbCaption(verb))) + "\n"
           "Comment=\n"
           "Exec=" + *exec + "\n"
           "Quote=double\n"
           "Icon-Name=nomilo\n"
           "Selection=" + std::string(selection) + "\n"
           "Extensions=" + std::string(extensions) + ";\n" +
           Marker();
}

} // namespace

std::optional<std::string> FileManagerActionText(const FolderVerb& verb) {
    return FileManagerAction(verb, "folder", "inode/directory", "=1", "%f");
}

// "all/allfiles" is every file that is no folder.
std::optional<std::string> FileManagerFilesActionText(const FolderVerb& verb) {
    if (!TakesSelections(verb))
        return std::nullopt;
    return FileManagerAction(verb, "files", "all/allfiles", ">0", SelectionCode("%F"));
}

std::optional<std::string> NemoActionText(const FolderVerb& verb) {
    return NemoAction(verb, "s", "dir", TakesSelections(verb) ? "%U" : "%F");
}

// "nodirs": any number of items, none of them a folder.
std::optional<std::string> NemoFilesActionText(const FolderVerb& verb) {
    if (!TakesSelections(verb))
        return std::nullopt;
    return NemoAction(verb, "notnone", "nodirs", SelectionCode("%U"));
}

// The script's first steps. The file managers' own argument is not to be trusted (they run the
// script through a launcher that expands "%" codes in the chosen name, and leave out the path
// list for a name that is not UTF-8), so the selected URIs are read: the first decoded byte by
// byte where a folder is wanted.
constexpr std::string_view kScriptStart = R"sh(nl='
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
)sh";

// For the program's own verb: a selection that is not one folder goes to the program as its
// URIs, one a line in the variable, each of which the program reads as the path it names.
constexpr std::string_view kScriptSelection = R"sh(first=${uris%%"$nl"*}
rest=${uris#"$first"}
if [ -n "$first" ] && { [ -n "${rest#"$nl"}" ] || ! uri_folder "$first"; }; then
    set --
    while [ -n "$uris" ]; do
        uri=${uris%%"$nl"*}
        uris=${uris#"$uri"}
        uris=${uris#"$nl"}
        [ -n "$uri" ] && set -- "$@" "$uri"
    done
)sh";

// The folder: the first selected URI's, else the argument's, else the current one.
constexpr std::string_view kScriptFolder = R"sh(if ! uri_folder "${uris%%"$nl"*}"; then
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
    std::string selection;
    if (TakesSelections(verb))
        selection = std::string(kScriptSelection) + "    exec " +
                    *ShellCommand(verb.command, SelectionCode("\"$@\"")) + "\nfi\n";
    return "#!/bin/sh\n"
           "# Opens the chosen folder in Nomilo, which wrote this file and keeps it up to date.\n"
           "# " + Marker() + std::string(kScriptStart) + selection + std::string(kScriptFolder) +
           "exec " + *command + "\n";
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

std::string FilesVerbFileName(const std::string& verbName, std::string_view suffix) {
    return std::string(kFilesFilePrefix) + FileNamePart(verbName) + std::string(suffix);
}

bool IsFolderVerbFileName(std::string_view name, std::string_view suffix) {
    return HasPrefixAndSuffix(name, kFilePrefix, suffix);
}

bool IsVerbEntryFileName(std::string_view name, std::string_view suffix) {
    return IsFolderVerbFileName(name, suffix) || HasPrefixAndSuffix(name, kFilesFilePrefix, suffix);
}

std::string ThunarActionId(const std::string& verbName) {
    return std::string(kFilePrefix) + FileNamePart(verbName);
}

std::string ThunarFilesActionId(const std::string& verbName) {
    return std::string(kFilesFilePrefix) + FileNamePart(verbName);
}

bool IsOurThunarActionId(std::string_view id) {
    return id.starts_with(kFilePrefix) || id.starts_with(kFilesFilePrefix);
}

namespace {

// A Thunar custom action with the unique id `id` that runs the verb with `code` in place of its
// placeholder, for the kinds of items `kinds` (empty elements such as "<directories/>").
std::optional<std::string> ThunarAction(const FolderVerb& verb, const std::string& id,
                                        std::string_view code, std::string_view kinds) {
    const std::optional<std::string> command = QuotedCommand(verb.command, code);
    if (!command || !IsEntryText(*command))
        return std::nullopt;
    return "<action>\n"
           "\t<icon>nomilo</icon>\n"
           "\t<name>" + XmlText(VerbCaption(verb)) + "</name>\n"
           "\t<submenu></submenu>\n"
           "\t<unique-id>" + XmlText(id) + "</unique-id>\n"
           "\t<command>" + XmlText(*command) + "</command>\n"
           "\t<description></description>\n"
           "\t<range></range>\n"
           "\t<patterns>*</patterns>\n" +
           std::string(kinds) +
           "</action>\n";
}

} // namespace

std::optional<std::string> ThunarActionXml(const FolderVerb& verb) {
    return ThunarAction(verb, ThunarActionId(verb.name), "%f", "\t<directories/>\n");
}

// Thunar shows an action when every selected item is of one of its kinds: every kind but
// folders.
std::optional<std::string> ThunarFilesActionXml(const FolderVerb& verb) {
    if (!TakesSelections(verb))
        return std::nullopt;
    return ThunarAction(verb, ThunarFilesActionId(verb.name), SelectionCode("%F"),
                        "\t<audio-files/>\n\t<image-files/>\n\t<other-files/>\n"
                        "\t<text-files/>\n\t<video-files/>\n");
}

} // namespace nomilo
