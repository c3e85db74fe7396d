# Sourced by the comparison scripts: sets $python to the first interpreter
# that has matplotlib ($PYTHON, python3, the system's), or exits when there
# is none (Debian: python3-matplotlib).
python=
for candidate in ${PYTHON:-} python3 /usr/bin/python3; do
  if "$candidate" -c "import matplotlib" 2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || {
  echo "matplotlib is missing (Debian: python3-matplotlib); not compared" >&2
  exit 2
}
