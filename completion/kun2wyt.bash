# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# Bash completion for kun2wyt.
#
# The first argument is the input file: files ending in .kun or .KUN, and directories to reach
# them. After it come options, except right after an "-o" option, where any file name goes.
# Options are recognised as kun2wyt itself does: an argument containing -n, -p, -b, -m or -e is
# a conversion option, else one containing -o names the output in the next argument.

_kun2wyt()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(
            compgen -d -- "$cur"
            compgen -f -X '!*.kun' -- "$cur"
            compgen -f -X '!*.KUN' -- "$cur"
        )
        return 0
    fi

    local i=2 word
    while ((i < COMP_CWORD)); do
        word=${COMP_WORDS[i]}
        if [[ $word != *-[npbme]* && $word == *-o* ]]; then
            if ((i + 1 == COMP_CWORD)); then
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                return 0
            fi
            ((i += 2))
        else
            ((i += 1))
        fi
    done

    mapfile -t COMPREPLY < <(compgen -W '-n -p -b -e -m -h -o' -- "$cur")
    return 0
}

complete -F _kun2wyt kun2wyt
