# bash completion for vireoscan-convert: option names, the values of --format and --preset,
# folders after --output-dir, a number after --jobs or --thumbnail, and files elsewhere.
_vireoscan_convert() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local options='-f --format -p --preset -w --window -n --negative -o --output-dir
        -y --overwrite --no-overwrite -i --info --json --files-from -0 --null -j --jobs
        --all-decoders -q --quiet --thumbnail -h --help --version'
    case $prev in
        -f|--format) mapfile -t COMPREPLY < <(compgen -W 'tiff8 tiff16 bmp raw png8 png16' -- "$cur"); return ;;
        -p|--preset) mapfile -t COMPREPLY < <(compgen -W 'stretch stored lung bone chest soft-tissue brain' -- "$cur"); return ;;
        -o|--output-dir) mapfile -t COMPREPLY < <(compgen -d -- "$cur"); return ;;
        -j|--jobs) mapfile -t COMPREPLY < <(compgen -W '1 2 4 8 16' -- "$cur"); return ;;
        --thumbnail) mapfile -t COMPREPLY < <(compgen -W '128 256 512 1024' -- "$cur"); return ;;
        --files-from) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
        -w|--window) COMPREPLY=(); return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -o filenames -F _vireoscan_convert vireoscan-convert
