# Shared locations for the scripts. Sourced, not run.
# The dependency cache lives outside the clone so that a fresh clone reuses it.
: "${QUILO_DEPS:=${XDG_CACHE_HOME:-$HOME/.cache}/quilovideo}"
export QUILO_DEPS
