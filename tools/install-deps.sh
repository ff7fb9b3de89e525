#!/usr/bin/env bash
# Installs whatever the build and the tests need and the machine lacks.
# Debian 12 or later; uses apt (through sudo when not root). Does nothing when
# everything is present.
#   install-deps.sh              the native build and its tests
#   install-deps.sh --qt         also Qt 6 for the Linux desktop front-end
#   install-deps.sh --win32      also the cross build of the 32-bit Windows program
#   install-deps.sh --wine       also that build's Wine (32-bit; the i386 architecture)
#   install-deps.sh --wine64     also the x86-64 cross build and 64-bit Wine
#                                alone, nothing 32-bit (where 32-bit programs
#                                cannot run)
#   install-deps.sh --msi        also msitools (wixl, msiinfo), for the installer,
#                                and what its test signs it with
#   install-deps.sh --screenshot also ImageMagick, for `make screenshot`
#   install-deps.sh --fuzz       also clang with libFuzzer, for `make fuzz`
#   install-deps.sh --bench      also valgrind (callgrind) and the X DAMAGE
#                                library, for `make bench`
#   install-deps.sh --deb        also the Debian packaging tools and checkers,
#                                for `make deb` and the release tests (which
#                                sign a release too)
#   install-deps.sh --sign       also osslsigncode (Authenticode) and gpg, for a
#                                signed `make dist`
#   install-deps.sh --style      also clang-format and clang-tidy, for the
#                                tests of the sources' layout and checks
set -euo pipefail

packages=(cmake make g++ python3 procps googletest libgtest-dev)
# The clipboard keeper (plain libxcb and libwayland-client) and its test's X
# server, in every Linux build, the sanitizers' included.
packages+=(libxcb1-dev libwayland-dev libwayland-bin pkg-config xvfb)
for option in "$@"; do
    case $option in
        # (qt6-wayland for Wayland sessions, and Qt's translations of its
        # colour dialog.)
        # (qt6-base-private-dev and wayland-protocols: the window's size
        # limits go to a Wayland compositor through Qt's native handles.)
        --qt) packages+=(qt6-base-dev qt6-base-private-dev wayland-protocols libxcb1-dev pkg-config qt6-qpa-plugins
                         qt6-wayland qt6-translations-l10n
                         fonts-dejavu-core xvfb xclip desktop-file-utils) ;;
        # The Linux window on real desktops: window managers and Wayland
        # compositors (GNOME's mutter and KDE's KWin, with KDE's Breeze
        # title bars, among them), a session bus with the accessibility bus, Qt's own
        # translations, and clipboard managers (and python3-xlib for the
        # tests' own fake ones).
        # (The DejaVu faces are the test sessions' own fonts,
        # tools/test-fonts.conf; the CJK ones give a Japanese, Chinese or
        # Korean desktop the faces its users have.)
        --desktop) packages+=(qt6-wayland qt6-translations-l10n openbox xfwm4 weston wl-clipboard wmctrl xdotool
                              x11-utils dbus-daemon at-spi2-core python3-pyatspi gir1.2-atspi-2.0 sway
                              xfce4-clipman xfce4-settings python3-xlib imagemagick locales-all
                              fonts-dejavu-core fonts-dejavu-extra fonts-noto-cjk fonts-droid-fallback
                              mutter gsettings-desktop-schemas kwin-wayland kwin-x11 breeze) ;;
        --win32) packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686) ;;
        # (locales-all with Wine and the desktop: the languages the locale tests run the window in.)
        --wine) packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb x11-utils locales-all) ;;
        --wine64) packages+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 fonts-wine xvfb x11-utils locales-all) ;;
        # (The installer test and the release test sign with osslsigncode and a
        # throwaway certificate that openssl makes; the release test also
        # signs with gpg.)
        --msi) packages+=(msitools wixl osslsigncode openssl) ;;
        --sign) packages+=(osslsigncode gpg gpg-agent) ;;
        --screenshot) packages+=(imagemagick) ;;
        --fuzz) packages+=(clang) ;;
        --bench) packages+=(valgrind libxdamage1 xvfb) ;;
        --style) packages+=(clang-format-14 clang-tidy-14) ;;
        --deb) packages+=(debhelper dpkg-dev devscripts lintian appstream file qt6-base-dev libxcb1-dev pkg-config
                          binutils-mingw-w64-i686 osslsigncode openssl gpg gpg-agent xz-utils) ;;
        *) echo "install-deps: unknown option $option" >&2; exit 2 ;;
    esac
done

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if [[ $(id -u) -eq 0 ]]; then
    SUDO=()
elif command -v sudo >/dev/null; then
    SUDO=(sudo)
else
    SUDO=(missing-sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# The package lists. A source whose index cannot be read (a host out of
# reach, a mirror in the middle of a sync, a repository without a signature)
# does not stop the install: apt then goes on with the other sources (and
# what it last read of that one), the failed sources are named, and the
# install itself says whether what is needed could be found.
unread_sources=""
update_lists() {
    local output status=0
    output=$("${SUDO[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq </dev/null 2>&1) || status=$?
    [[ -z $output ]] || printf '%s\n' "$output" >&2
    unread_sources=$(sed -n -E -e "s/^[EW]: Failed to fetch ([^ ]+).*/\1/p" \
                               -e "s/^[EW]: The repository '([^']+)'.*/\1/p" <<<"$output" | sort -u)
    if [[ -n $unread_sources ]]; then
        echo "install-deps: these package sources could not be read; going on with the others:" >&2
        sed 's/^/  /' <<<"$unread_sources" >&2
    elif [[ $status -ne 0 ]]; then
        echo "install-deps: apt-get update failed (exit $status); going on with the package lists as they are" >&2
    fi
}

install() {
    [[ $# -gt 0 ]] || return 0
    if [[ ${SUDO[*]} == missing-sudo ]]; then
        echo "install-deps: $* missing, and installing needs root or sudo" >&2
        exit 1
    fi
    echo "install-deps: installing $*"
    if [[ " $* " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${SUDO[@]}" dpkg --add-architecture i386
    fi
    # Another apt run (a second make, a package manager) may hold the lock:
    # wait for it a while instead of failing at once.
    update_lists
    if ! "${SUDO[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$@" </dev/null; then
        echo "install-deps: could not install $*${unread_sources:+ (some package sources could not be read: see above)}" >&2
        exit 1
    fi
}

missing=()
for pkg in "${packages[@]}"; do
    have_pkg "$pkg" || missing+=("$pkg")
done
install "${missing[@]}"

# libFuzzer comes with the runtime package of the installed clang's version.
if [[ " $* " == *" --fuzz "* ]]; then
    version=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
    have_pkg "libclang-rt-$version-dev" || install "libclang-rt-$version-dev"
fi
