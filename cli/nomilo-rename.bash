# bash completion for nomilo-rename(1)                                  -*- shell-script -*-

_nomilo_rename()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local i word skip=0 positionals=0 texts=2
    COMPREPLY=()

    # After "--" come the FILEs of the folder.
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return
        fi
    done

    # The value of an option is any text ("--mask=x" comes as "--mask" "=" "x").
    [[ $prev == = ]] && prev=${COMP_WORDS[COMP_CWORD - 2]}
    case $prev in
        -m | --mask | --prefix | --find | --replace) return ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-i --ignore-case --regex --all --numbering --fields -m --mask=
            -r --recursive --prefix= --find= --replace= -n --dry-run --undo --json -0 --null -q
            --quiet -h --help --version
            --' -- "$cur"))
        [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return
    fi

    # FIND and REPLACE are any text; the place after them is FOLDER.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((skip)); then
            skip=0
            [[ $word == = ]] && skip=1
            continue
        fi
        case $word in
            --prefix) texts=0 skip=1 ;;
            --prefix=* ) texts=0 ;;
            --find | --replace) ((texts--)); skip=1 ;;
            --find=* | --replace=*) ((texts--)) ;;
            -m | --mask) skip=1 ;;
            -*) ;;
            =) ;;
            *) ((positionals++)) ;;
        esac
    done
    if ((texts < 0)); then texts=0; fi
    if ((positionals == texts)); then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
    fi
} &&
    complete -F _nomilo_rename nomilo-rename
