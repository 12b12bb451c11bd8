#!/usr/bin/env bash
# Checks the bash completion of nomilo-rename in a folder of its own.
#   bash CompletionTest.sh COMPLETION-SCRIPT
set -u
source "$1"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && mkdir photos && touch photo.jpg
failed=0
# expect "WORDS..." "EXPECTED COMPLETIONS": the last word is the one completed.
expect() {
    set -f
    COMP_WORDS=($1)
    set +f
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _nomilo_rename
    local got="${COMPREPLY[*]}"
    if [[ "$got" != "$2" ]]; then
        echo "completing '$1': got '$got', expected '$2'"
        failed=1
    fi
}
expect "nomilo-rename --dr" "--dry-run"
expect "nomilo-rename --ma" "--mask="
expect "nomilo-rename --reg" "--regex"
expect "nomilo-rename --nu" "--numbering --null"
expect "nomilo-rename --regex --all --numbering a b pho" "photos"
expect "nomilo-rename pho" ""
expect "nomilo-rename a pho" ""
expect "nomilo-rename a b pho" "photos"
expect "nomilo-rename -m *.jpg a b pho" "photos"
expect "nomilo-rename --prefix x pho" "photos"
expect "nomilo-rename --find=a pho" ""
expect "nomilo-rename a b . -- pho" "photo.jpg photos"
exit $failed
