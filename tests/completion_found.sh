# shellcheck shell=bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# Sourced by the install tests. completion_found RUN ZSHRC FISH_CONFIG: whether bash, zsh and
# fish, each as it starts for a user with no configuration but the given lines, find kun2wyt's
# completion where the install put it. RUN runs a bash script, its one argument, as the user
# with the user's HOME and PATH; ZSHRC goes into ~/.zshrc and FISH_CONFIG, unless empty, into
# ~/.config/fish/config.fish; ~/.bashrc is Debian's, which turns bash-completion on. The files
# are written by the user, so that the shells may write beside them. A shell that is not
# installed is not tried. Says FAIL for each shell that does not find it, and returns 1 then.
completion_found() {
    local run=$1 zshrc=$2 fish_config=$3 shell found status=0
    "$run" "cp /etc/skel/.bashrc ~/.bashrc && printf '%s\n' $(printf %q "$zshrc") >~/.zshrc" || return 1
    if [[ -n $fish_config ]]; then
        "$run" "mkdir -p ~/.config/fish && printf '%s\n' $(printf %q "$fish_config") >~/.config/fish/config.fish" || return 1
    fi
    for shell in bash zsh fish; do
        [[ $shell != bash || -f /usr/share/bash-completion/bash_completion ]] && command -v "$shell" >/dev/null ||
            { echo "($shell or its completion is not installed: not tried)"; continue; }
        case $shell in
        bash) found=$("$run" "bash -i -c '__load_completion kun2wyt && complete -p kun2wyt' 2>/dev/null") || true
            [[ $found == *" _kun2wyt kun2wyt" ]] ;;
        zsh) found=$("$run" "zsh -i -c 'print -r -- \$_comps[kun2wyt]' 2>/dev/null") || true
            [[ $found == _kun2wyt ]] ;;
        fish) found=$("$run" "fish -c 'complete -C \"kun2wyt run1.kun -\"'") || true
            grep -q '^-o' <<<"$found" ;;
        esac || { echo "FAIL $shell does not find kun2wyt's completion: $found"; status=1; }
    done
    return "$status"
}
