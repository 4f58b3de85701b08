# Shared by the benchmarks: sourced, not run.
# host ARGS...   runs tarnwick.exe under Wine
# now            seconds since the epoch, with nanoseconds
# ratio A B      A / B with three decimals
# wineclient ARGS...  runs bench/wineclient.cpp (built for the measured build
#                     on first use) under Wine
host() { "$TARN_ROOT/scripts/wine-run.sh" "$TARN_BUILD_DIR/bin/tarnwick.exe" "$@"; }
now() { date +%s.%N; }
ratio() { python3 -c "import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('%.3f' % (a/b if b else float('inf')))" "$1" "$2"; }
# A scratch folder on the Wine prefix's C: drive (short Windows paths).
# Prints the Unix path; its Windows path is C:\tarnbench\NAME.
bench_dir() {
  local d="$TARN_BUILD_DIR/wine/drive_c/tarnbench/$1"
  rm -rf "$d"; mkdir -p "$d"; echo "$d"
}
wineclient() {
  local exe="$TARN_BUILD_DIR/bench/wineclient.exe" cxx
  if [ ! -f "$exe" ] || [ "$TARN_ROOT/bench/wineclient.cpp" -nt "$exe" ]; then
    case "$TARN_ARCH" in
      i686) cxx=i686-w64-mingw32-g++ ;;
      *) cxx=x86_64-w64-mingw32-g++ ;;
    esac
    mkdir -p "$TARN_BUILD_DIR/bench"
    "$cxx" -O2 -std=c++17 -static -o "$exe" "$TARN_ROOT/bench/wineclient.cpp" -lws2_32
  fi
  "$TARN_ROOT/scripts/wine-run.sh" "$exe" "$@"
}
