# shellcheck shell=bash
# Sourced by scripts/package and scripts/apt-repo-add: gpg_sign runs gpg with
# the arguments given, for a signature no one has to type anything for. A
# key with a passphrase takes it from QELISP_GPG_PASSPHRASE, handed over on
# a pipe (never on a command line, never in a file); without that variable
# gpg may not ask (--pinentry-mode error), so a locked key fails at once
# instead of waiting for a pinentry no one sees. A passphrase gpg-agent
# holds already still serves.

# No one is asked, so only a stuck agent or key takes this long.
gpg_seconds=20

gpg_sign() {
  if [ -n "${QELISP_GPG_PASSPHRASE+set}" ]; then
    timeout "$gpg_seconds" gpg --batch --yes --pinentry-mode loopback --passphrase-fd 3 "$@" \
      3< <(printf '%s' "$QELISP_GPG_PASSPHRASE")
  else
    timeout "$gpg_seconds" gpg --batch --yes --pinentry-mode error "$@"
  fi
}
