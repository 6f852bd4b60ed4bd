# Sourced by the web checks: a machine without emscripten or node skips them (status 77, one line).
if ! command -v em++ >/dev/null 2>&1; then echo "emscripten is not installed: skipped"; exit 77; fi
if ! command -v node >/dev/null 2>&1; then echo "node is not installed: skipped"; exit 77; fi
