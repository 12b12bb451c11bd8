#include "cli/CommandLine.h"

#include "cli/EUsage.h"
#include "cli/NameText.h"

#include <optional>
#include <string_view>

namespace nomilo {

namespace {

// The options that take a value.
enum class TValueOption { Mask, Find, Replace, Prefix };

struct TParse {
    TCommandOptions options;
    std::optional<std::string> find, replace, prefix;
    std::vector<std::string> positionals;
    bool help = false, version = false, undo = false, dryRun = false, filesNamed = false;
    bool json = false, nulEnded = false, maskGiven = false, caseGiven = false;
    bool ruleGiven = false; // --regex, --all, --numbering or --fields
    bool listGiven = false; // --recursive

    void Flag(std::string_view name);
    void Value(TValueOption option, std::string value);
};

void TParse::Flag(std::string_view name) {
    if (name == "i" || name == "ignore-case") {
        options.inputs.caseSensitive = false;
        caseGiven = true;
    } else if (name == "regex") {
        options.inputs.regularExpression = ruleGiven = true;
    } else if (name == "all") {
        options.inputs.everyOccurrence = ruleGiven = true;
    } else if (name == "numbering") {
        options.inputs.numbering = ruleGiven = true;
    } else if (name == "fields") {
        options.inputs.fields = ruleGiven = true;
    } else if (name == "r" || name == "recursive") {
        options.recursive = listGiven = true;
    } else if (name == "n" || name == "dry-run") {
        dryRun = true;
    } else if (name == "undo") {
        undo = true;
    } else if (name == "json") {
        json = true;
    } else if (name == "0" || name == "null") {
        nulEnded = true;
    } else if (name == "q" || name == "quiet") {
        options.quiet = true;
    } else if (name == "h" || name == "help") {
        help = true;
    } else if (name == "version") {
        version = true;
    } else {
        throw EUsage(std::string(name.size() == 1 ? "unknown option '-" : "unknown option '--") +
                     EscapedName(name) + "'");
    }
}

void TParse::Value(TValueOption option, std::string value) {
    switch (option) {
    case TValueOption::Mask:
        options.mask = std::move(value);
        maskGiven = true;
        break;
    case TValueOption::Find:
        find = std::move(value);
        break;
    case TValueOption::Replace:
        replace = std::move(value);
        break;
    case TValueOption::Prefix:
        prefix = std::move(value);
        break;
    }
}

std::optional<TValueOption> ValueOption(std::string_view name) {
    if (name == "m" || name == "mask")
        return TValueOption::Mask;
    if (name == "find")
        return TValueOption::Find;
    if (name == "replace")
        return TValueOption::Replace;
    if (name == "prefix")
        return TValueOption::Prefix;
    return std::nullopt;
}

// Reads the arguments into `parse`, up to the end or "--" (after which come the FILEs).
void ReadArguments(const std::vector<std::string>& arguments, TParse& parse) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto nextValue = [&](std::string_view option) -> std::string {
            if (i + 1 >= arguments.size())
                throw EUsage("option '" + EscapedName(option) + "' needs a value");
            return arguments[++i];
        };
        if (argument == "--") {
            parse.filesNamed = true;
            parse.options.files.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                       arguments.end());
            return;
        }
        if (argument.starts_with("--")) {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos
                                                                                 : equals - 2);
            if (const auto option = ValueOption(name))
                parse.Value(*option, equals == std::string::npos ? nextValue(argument)
                                                                 : argument.substr(equals + 1));
            else if (equals != std::string::npos)
                throw EUsage("option '--" + EscapedName(name) + "' takes no value");
            else
                parse.Flag(name);
        } else if (argument.size() > 1 && argument[0] == '-') {
            // Bundled short options; a value option takes the rest, or the next argument.
            for (std::size_t c = 1; c < argument.size(); ++c) {
                const std::string name(1, argument[c]);
                if (const auto option = ValueOption(name)) {
                    parse.Value(*option, c + 1 < argument.size() ? argument.substr(c + 1)
                                                                 : nextValue("-" + name));
                    break;
                }
                parse.Flag(name);
            }
        } else {
            parse.positionals.push_back(argument);
        }
    }
}

// Fills FIND, REPLACE and FOLDER from the places the options left open.
void AssignTexts(TParse& parse) {
    TCommandOptions& options = parse.options;
    if (parse.prefix) {
        if (parse.find || parse.replace)
            throw EUsage("--prefix takes no FIND or REPLACE: it puts its text in front of every "
                         "name");
        if (options.inputs.regularExpression || options.inputs.everyOccurrence)
            throw EUsage("--prefix takes no FIND, which --regex and --all act on");
        options.inputs.prefixMode = true;
        options.inputs.replaceText = *parse.prefix;
    }
    std::size_t next = 0;
    auto take = [&](std::optional<std::string>& slot) {
        if (!slot && next < parse.positionals.size())
            slot = parse.positionals[next++];
    };
    if (!parse.prefix) {
        take(parse.find);
        take(parse.replace);
        if (!parse.find)
            throw EUsage("missing FIND and REPLACE");
        if (!parse.replace)
            throw EUsage("missing REPLACE");
        options.inputs.findText = *parse.find;
        options.inputs.replaceText = *parse.replace;
        if (options.inputs.findText.empty())
            throw EUsage("FIND is empty: it would find nothing");
    }
    if (next < parse.positionals.size())
        options.folder = parse.positionals[next++];
    if (next < parse.positionals.size())
        throw EUsage("too many arguments, from '" + EscapedName(parse.positionals[next]) +
                     "' on (FILEs to rename come after '--')");
}

void CheckMask(const std::string& mask) {
    if (mask.find('/') != std::string::npos)
        throw EUsage("the mask '" + EscapedName(mask) + "' holds '/': it matches names in FOLDER, which is "
                     "given on its own");
}

} // namespace

TCommandOptions ParseCommandLine(const std::vector<std::string>& arguments) {
    TParse parse;
    ReadArguments(arguments, parse);
    TCommandOptions& options = parse.options;
    if (parse.help) {
        options.action = TCommandOptions::Help;
        return options;
    }
    if (parse.version) {
        options.action = TCommandOptions::Version;
        return options;
    }
    if (parse.json && parse.nulEnded)
        throw EUsage("--json and -0 are two forms of output: choose one");
    options.output = parse.json       ? TCommandOptions::Json
                     : parse.nulEnded ? TCommandOptions::NulEnded
                                      : TCommandOptions::Lines;
    if (parse.undo) {
        if (!parse.positionals.empty() || parse.filesNamed || parse.find || parse.replace ||
            parse.prefix || parse.maskGiven || parse.caseGiven || parse.ruleGiven || parse.dryRun ||
            parse.listGiven)
            throw EUsage("--undo takes back the last batch as it was: it takes no other texts, "
                         "FOLDER, FILEs or switches of a batch");
        options.action = TCommandOptions::Undo;
        return options;
    }
    AssignTexts(parse);
    CheckMask(options.mask);
    options.inputs.selectedOnly = parse.filesNamed;
    options.action = parse.dryRun ? TCommandOptions::DryRun : TCommandOptions::Rename;
    return options;
}

std::string UsageText() {
    return R"(Usage: nomilo-rename [OPTIONS] FIND REPLACE [FOLDER] [-- FILE...]
  or:  nomilo-rename [OPTIONS] --prefix TEXT [FOLDER] [-- FILE...]
  or:  nomilo-rename --undo [--json | -0] [-q]
Renames the files of FOLDER (the current directory when none is given) that the
mask lists, in the order of Nomilo's file list: the first FIND in each name
becomes REPLACE. A file is never replaced. --undo takes back the last batch,
also one of the Nomilo window, and the window's Undo takes back this command's.

  -i, --ignore-case   ASCII letters in FIND match either case (with --regex:
                      every letter)
      --regex         FIND is a regular expression (PCRE2); REPLACE may insert
                      its groups ($1, ${name}) and change case (\U \L \u \l \E)
      --all           replace every occurrence of FIND, not only the first
      --numbering     a run of # in REPLACE (or the prefix) numbers the renames:
                      ### is 001, 002...; #{10,5} counts from 10 in steps of 5;
                      \# writes #
      --fields        REPLACE (or the prefix) takes fields of each file's data:
                      {name} {ext} {folder}, {modified} {created} {taken}
                      with a strftime format ({taken:%Y-%m-%d_%H%M%S}),
                      {camera} {width} {height}, {artist} {album} {title}
                      {year} {genre} {track:2}, {copy} to keep equal names
                      apart; \{ writes {. A file without the value is refused
  -m, --mask=MASK     only names that match MASK, wildcard patterns separated
                      by ';' (default: *.*, every file)
  -r, --recursive     the files of every folder below FOLDER too, folder by
                      folder, shown by their paths in FOLDER; only names change,
                      never folders (no link to a folder is followed, no other
                      file system entered)
      --prefix=TEXT   put TEXT in front of every name instead
      --find=TEXT     FIND, also when it begins with '-'
      --replace=TEXT  REPLACE, also when it begins with '-'
  -- FILE...          only these files of FOLDER (names, or paths in FOLDER);
                      with -r also files and folders below it: a folder
                      stands for every file below it
  -n, --dry-run       show what would be renamed and refused; change nothing
      --undo          take back the last batch, this command's or the window's
      --json          one JSON object per line (JSON Lines)
  -0, --null          old and new names, each ended by a NUL byte
  -q, --quiet         print nothing but errors
  -h, --help          show this help and end
      --version       show the version and end

Exit status: 0 when every planned rename was done, 1 when some were refused
(the rest done), 2 on a usage or pattern error (nothing touched), 3 when the
folder cannot be read.
See nomilo-rename(1) for the output forms and the journal.
)";
}

} // namespace nomilo
