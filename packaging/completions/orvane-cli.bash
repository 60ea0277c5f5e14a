# bash completion for orvane-cli                              -*- shell-script -*-

_orvane_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    # Every option and what follows it: a word list, @dir, @file, or nothing for a flag.
    # A new option is one more line here.
    local -A options=(
        [--method]='file mmio win32'
        [--file-size]='1M 2M 4M 8M 16M 32M 64M 128M 256M 512M 1G'
        [--block-size]='1 2 4 8 16 32 64 128 256'
        [--write-buffered]=''
        [--read-buffered]=''
        [--durable]=''
        [--cold]=''
        [--repeat]='1 3 5 7 auto'
        [--max-repeats]='5 9 15'
        [--target]='1 2 5 10'
        [--dir]='@dir'
        [--file]='@file'
        [--format]='table csv json'
        [--output]='@file'
        [--clean]='@dir'
        [--no-history]=''
        [report]=''
        [--chart]='@file'
        [--log-scale]=''
        [--help]=''
        [--version]=''
    )

    if [[ $prev == --* && -n ${options[$prev]-} ]]; then
        case ${options[$prev]} in
            @dir) _filedir -d ;;
            @file) _filedir ;;
            *) COMPREPLY=($(compgen -W "${options[$prev]}" -- "$cur")) ;;
        esac
        return
    fi
    $split && return

    # After `report`, saved results.
    if [[ " ${words[*]:1:cword-1} " == *" report "* && $cur != -* ]]; then
        _filedir json
        return
    fi

    COMPREPLY=($(compgen -W "${!options[*]}" -- "$cur"))
} &&
    complete -F _orvane_cli orvane-cli

# ex: filetype=sh
