# Sourced by the other scripts: which Windows builds this machine can run.
#
# Two builds come from the same sources: i686 (the 32-bit binaries the design
# describes) in build32/ and x86_64 in build64/. Both always build, with
# cross compilers that are themselves 64-bit programs; running them needs the
# matching Wine loader, and the 32-bit one needs a kernel that executes 32-bit
# x86 code, which some kernels are set up not to do.

tarn_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tarn_state="$tarn_root/build-setup"  # what setup.sh learned, for later scripts

tarn_build_dir() {  # ARCH
  case "$1" in
    i686) echo "$tarn_root/build32" ;;
    x86_64) echo "$tarn_root/build64" ;;
    *) echo "unknown architecture '$1' (i686 or x86_64)" >&2; return 1 ;;
  esac
}

tarn_preset() {  # ARCH
  case "$1" in
    i686) echo mingw32 ;;
    x86_64) echo mingw64 ;;
    *) echo "unknown architecture '$1' (i686 or x86_64)" >&2; return 1 ;;
  esac
}

# Succeeds when the kernel executes 32-bit x86 programs. The probe is a
# 96-byte static i386 ELF program that only exits with status 42; a kernel
# without 32-bit support refuses it with "Exec format error" (126).
tarn_kernel_runs_i386() {
  local probe rc=0
  probe="$(mktemp "$tarn_root/.i386-probe.XXXXXX")" || return 1
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'`
    `'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'`
    `'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'`
    `'\x00\x00\x00\x00'`
    `'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'`
    `'\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'`
    `'\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" -eq 42 ]
}

tarn_wine_loader() {  # ARCH: the Wine loader for that architecture's programs
  case "$1" in
    i686) echo /usr/lib/wine/wine ;;
    x86_64) echo /usr/lib/wine/wine64 ;;
  esac
}

# Prints why ARCH's programs cannot run under Wine here, or nothing when they can.
tarn_why_not_runnable() {  # ARCH
  local loader
  loader="$(tarn_wine_loader "$1")"
  if [ "$1" = i686 ] && ! tarn_kernel_runs_i386; then
    echo "this machine executes only 64-bit code"
  elif [ ! -x "$loader" ]; then
    if [ "$1" = i686 ] && [ -s "$tarn_state/i686-not-installed" ]; then
      echo "wine32 could not be installed: $(cat "$tarn_state/i686-not-installed")"
    else
      echo "its Wine loader $loader is not installed"
    fi
  elif ! "$loader" --version >/dev/null 2>&1; then
    echo "its Wine loader $loader does not start"
  fi
}

# The architectures whose Wine tests can run here, the 32-bit one first.
tarn_runnable_arches() {
  local arch
  for arch in i686 x86_64; do
    [ -z "$(tarn_why_not_runnable "$arch")" ] && echo "$arch"
  done
  return 0
}

# TARN_ARCH if set, else the first runnable architecture; fails with a message
# when none can run.
tarn_pick_arch() {
  local arch why
  if [ -n "${TARN_ARCH:-}" ]; then
    tarn_build_dir "$TARN_ARCH" >/dev/null || return 1
    why="$(tarn_why_not_runnable "$TARN_ARCH")"
    if [ -n "$why" ]; then
      echo "TARN_ARCH=$TARN_ARCH cannot run here: $why" >&2
      return 1
    fi
    echo "$TARN_ARCH"
    return 0
  fi
  arch="$(tarn_runnable_arches | head -n 1)"
  if [ -z "$arch" ]; then
    echo "neither build can run here: i686: $(tarn_why_not_runnable i686); x86_64: $(tarn_why_not_runnable x86_64)" >&2
    return 1
  fi
  echo "$arch"
}
