#compdef kun2wyt
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# zsh completion for kun2wyt, installed as _kun2wyt in a folder of $fpath.
#
# As in bash: the first argument is the input file (files ending in .kun or .KUN, and folders
# to reach them); after it come options, except right after an "-o" option, where any file name
# goes. Options are recognised as kun2wyt itself does: an argument containing -n, -p, -b, -m or
# -e is a conversion option, else one containing -o names the output in the next argument.

local -i i=3
if (( CURRENT == 2 )); then
    _files -g '*.(kun|KUN)'
    return
fi
while (( i < CURRENT )); do
    if [[ $words[i] != *-[npbme]* && $words[i] == *-o* ]]; then
        if (( i + 1 == CURRENT )); then
            _files
            return
        fi
        (( i += 2 ))
    else
        (( i += 1 ))
    fi
done

# Offered before a "-" is typed, as in bash: zsh's own "options" tag would wait for one.
local -a options=(
    '-n:assume negative parity for all levels'
    '-p:assume positive parity for all levels (the default)'
    '-b:take the width from the branching ratio (the default)'
    '-e:take the width from B(E2)'
    '-m:take the width from B(M1)'
    '-h:print the usage text'
    '-o:name the output file'
)
_describe -t kun2wyt-options option options
