#!/usr/bin/env bash
# Mutation testing: applies each mutant of scripts/mutants.txt in turn, rebuilds
# the non-sanitized tree build/mutate incrementally and runs the suites that can
# see the change. Options: --only REGEX, --timeout SECONDS, --jobs N, --build DIR.
set -euo pipefail
exec python3 "$(dirname "${BASH_SOURCE[0]}")/mutate.py" "$@"
