#!/usr/bin/env bash
# Whether this machine can run 32-bit x86 programs, as Wine needs to run the
# 32-bit Windows program and its tests. Exits 0 when it can; otherwise says
# why on stderr and exits 1. Some kernels are built or booted with their
# IA-32 emulation off (the kernel log then says "32-bit emulation disabled");
# there no 32-bit program starts at all, Wine's own loader included.
set -uo pipefail
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# The smallest 32-bit ELF program: exit(0) through int 0x80.
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
chmod +x "$probe"
if "$probe" 2>/dev/null; then
    exit 0
fi
case $(uname -m) in
    x86_64|i?86)
        echo "this machine cannot run 32-bit x86 programs: the kernel's IA-32 emulation is off" \
             "(it needs CONFIG_IA32_EMULATION and, on some kernels, the boot option ia32_emulation=on)," \
             "so Wine cannot run the 32-bit Windows program here" >&2 ;;
    *)
        echo "this machine ($(uname -m)) cannot run 32-bit x86 programs, so Wine cannot run" \
             "the 32-bit Windows program here" >&2 ;;
esac
exit 1
