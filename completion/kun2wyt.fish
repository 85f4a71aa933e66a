# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# fish completion for kun2wyt.
#
# As in bash: the first argument is the input file (files ending in .kun or .KUN, and folders
# to reach them); after it come options, except right after an "-o" option, where any file name
# goes. Options are recognised as kun2wyt itself does: an argument containing -n, -p, -b, -m or
# -e is a conversion option, else one containing -o names the output in the next argument.

# What the word being completed is: the input, the output after an -o option, or an option.
function __kun2wyt_completing
    set -l words (commandline -opc)
    if test (count $words) -eq 1
        echo input
        return
    end
    set -l i 3
    while test $i -le (count $words)
        if not string match -q -r -- '-[npbme]' $words[$i]; and string match -q -- '*-o*' $words[$i]
            if test $i -eq (count $words)
                echo output
                return
            end
            set i (math $i + 2)
        else
            set i (math $i + 1)
        end
    end
    echo option
end

# Files ending in .kun or .KUN, and folders.
function __kun2wyt_inputs
    __fish_complete_path (commandline -ct) | string match -r -e -- '(?:/|\.kun|\.KUN)\t'
end

complete -c kun2wyt -f # no file names but those offered below
complete -c kun2wyt -n 'test (__kun2wyt_completing) = input' -a '(__kun2wyt_inputs)'
complete -c kun2wyt -n 'test (__kun2wyt_completing) = output' -F
complete -c kun2wyt -n 'test (__kun2wyt_completing) = option' -a -n -d 'assume negative parity for all levels'
complete -c kun2wyt -n 'test (__kun2wyt_completing) = option' -a -p -d 'assume positive parity for all levels (default)'
complete -c kun2wyt -n 'test (__kun2wyt_completing) = option' -a -b -d 'width from the branching ratio (default)'
complete -c kun2wyt -n 'test (__kun2wyt_completing) = option' -a -e -d 'width from B(E2)'
complete -c kun2wyt -n 'test (__kun2wyt_completing) = option' -a -m -d 'width from B(M1)'
complete -c kun2wyt -n 'test (__kun2wyt_completing) = option' -a -h -d 'print the usage text'
complete -c kun2wyt -n 'test (__kun2wyt_completing) = option' -a -o -d 'name the output file'
