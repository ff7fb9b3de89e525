# Which Wine runs the Windows programs, for scripts that source this file.
#   use_wine ARCH DIR   sets up the environment for Wine of that kind, or
#                       returns 1 with the reason in $wine_problem:
#     win32   the system's Wine, 32-bit prefixes: the shipped program; needs a
#             machine that can run 32-bit programs
#     win64   Wine's 64-bit loader only, 64-bit prefixes: the x86-64 build of
#             the same sources, where 32-bit programs cannot run (or when asked)
#   DIR holds what the win64 kind needs besides the prefix (made once).
#
# Wine starts a 32-bit program with the loader beside its own, named as its
# own without the "64" (Wine 8 reads no setting for it): with wine32
# installed, even `wineboot` of a 64-bit prefix starts it for the 32-bit half.
# So the win64 kind runs a copy of the 64-bit loader from a folder of its own,
# with links to Wine's libraries, data and server, and no 32-bit loader
# beside it: nothing 32-bit can start, whatever is installed.
wine_loader64=/usr/lib/wine/wine64
wine_server64=/usr/lib/wine/wineserver64

make_wine64_tree() {  # TREE
    local tree=$1 part
    if cmp -s "$wine_loader64" "$tree/lib/wine/wine64" && [[ -x $tree/bin/wine ]]; then
        return 0
    fi
    if [[ ! -x $wine_loader64 || ! -x $wine_server64 || ! -d /usr/lib/x86_64-linux-gnu/wine/x86_64-unix ]]; then
        wine_problem="64-bit Wine is missing ($wine_loader64; tools/install-deps.sh --wine64 installs it)"
        return 1
    fi
    mkdir -p "$(dirname "$tree")"
    part=$(mktemp -d "$tree.XXXXXX") || { wine_problem="cannot write $(dirname "$tree")"; return 1; }
    mkdir -p "$part/lib/wine" "$part/share" "$part/bin"
    # (The loader finds ntdll, and Wine its data, relative to its own folder.)
    cp "$wine_loader64" "$part/lib/wine/wine64"
    ln -s "$wine_server64" "$part/lib/wine/wineserver"
    ln -s /usr/lib/x86_64-linux-gnu "$part/lib/x86_64-linux-gnu"
    ln -s /usr/share/wine "$part/share/wine"
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$tree/lib/wine/wine64" >"$part/bin/wine"
    printf '#!/bin/sh\nexec "%s" wineboot.exe "$@"\n' "$tree/lib/wine/wine64" >"$part/bin/wineboot"
    chmod 755 "$part/bin/wine" "$part/bin/wineboot"
    ln -s "$wine_server64" "$part/bin/wineserver"
    # Another run may be making it at the same time: the first one's stays.
    rm -rf "$tree.old"
    [[ -e $tree ]] && ! cmp -s "$wine_loader64" "$tree/lib/wine/wine64" && mv -T "$tree" "$tree.old" 2>/dev/null
    mv -T "$part" "$tree" 2>/dev/null || rm -rf "$part"
    rm -rf "$tree.old"
    [[ -x $tree/bin/wine ]] || { wine_problem="could not make $tree"; return 1; }
}

wine_problem=""
use_wine() {  # ARCH DIR
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    case $1 in
        win32)
            wine_problem=$("$(dirname "${BASH_SOURCE[0]}")/can-run-win32.sh" 2>&1) || return 1
            export WINEARCH=win32 ;;
        win64)
            make_wine64_tree "$2/wine64" || return 1
            export WINEARCH=win64 PATH="$2/wine64/bin:$PATH" ;;
        *)
            wine_problem="QUILL_WINE_ARCH must be win32 or win64, not '$1'"
            return 1 ;;
    esac
}
