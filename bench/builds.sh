# The builds a benchmark runs, sourced by them after they set bench (the
# name their messages start with): the native one, and the Windows build
# that this machine runs under Wine, the 32-bit one where it executes 32-bit
# programs and the 64-bit one elsewhere. Sets windows to that build's preset.
if why=$(tests/e2e/can-run-32bit.sh); then
  windows=win32
else
  echo "$bench: the 64-bit Windows build, since $why"
  windows=win64
fi
for preset in native "$windows"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
