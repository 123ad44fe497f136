# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for vantrel: its options, the action names of --action, image files.

_vantrel()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    [[ $COMP_CWORD -gt 0 ]] && prev=${COMP_WORDS[COMP_CWORD-1]}
    local actions="allInOne captureArea capturePreviousArea captureFullscreen captureWindow selfTimer
        scrollingCapture captureText recordScreen openHistory pinFromClipboard"
    local options="--action --selftest --preview-recording-bar --help --version"
    COMPREPLY=()

    # bash splits "--action=name" at the "=" when "=" is a word break (the default).
    if [[ $cur == --action=* ]]; then
        COMPREPLY=($(compgen -P "--action=" -W "$actions" -- "${cur#--action=}"))
        return
    fi
    if [[ $prev == "=" && $COMP_CWORD -ge 2 && ${COMP_WORDS[COMP_CWORD-2]} == --action ]]; then
        COMPREPLY=($(compgen -W "$actions" -- "$cur"))
        return
    fi
    case $prev in
        --action)
            COMPREPLY=($(compgen -W "$actions" -- "$cur"))
            return
            ;;
        --selftest)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    # Image files (and folders to reach them), as "Open With" would pass them.
    if declare -F _filedir >/dev/null; then
        _filedir '@(png|PNG|jpg|JPG|jpeg|JPEG|webp|WEBP|bmp|BMP|gif|GIF)'
    else
        local IFS=$'\n'
        COMPREPLY=($(compgen -o plusdirs -f -X '!*.@(png|PNG|jpg|JPG|jpeg|JPEG|webp|WEBP|bmp|BMP|gif|GIF)' -- "$cur"))
    fi
}
complete -F _vantrel vantrel
