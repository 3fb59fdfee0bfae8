# Sourced by setup.sh. apt_install <package>...: an `apt-get update` that fails
# (a mirror mid-sync, one list of several) is reported and the install goes on
# with the package lists there are; only a failed install stops set-up, with
# apt's words and the packages it was asked for.
apt_install() {
  echo "setup: installing $*"
  local log status=0
  log=$(mktemp)
  apt-get update -qq >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    echo "setup: apt-get update failed ($status); going on with the package lists there are:"
    sed 's/^/  /' "$log"
  fi
  rm -f "$log"
  if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null; then
    echo "setup: could not install: $*" >&2
    exit 1
  fi
}
