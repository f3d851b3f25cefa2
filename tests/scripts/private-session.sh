# Sourced by the end-to-end scripts. Skips the test (exit 77) when one of the tools named in
# NEEDED_TOOLS is missing, makes a scratch folder $work, and stops every process whose PID is
# added to pids, by that PID, when the script ends in any way.
for tool in "${NEEDED_TOOLS[@]}"; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP
