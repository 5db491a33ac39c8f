# shellcheck shell=bash disable=SC2154
# Sourced by scripts/package: try_signing signs a scratch file with each
# credential given, with the very options the release is signed with, before
# anything is built. A wrong password, file, key or server then costs
# seconds instead of a build, and is named in one line (refuse: exit 2).
#
# From scripts/package: refuse, authenticode_sign, gpg_sign, sign_with,
# sign_pkcs12, sign_cert, sign_key, password_file, time_stamp,
# timestamp_url, gpg_key, and scratch, a folder only this user can read.

# A time-stamping server gets this long to answer the trial; osslsigncode
# itself would wait for a silent one for ever.
probe_seconds=10

try_signing() {
  [ "${#sign_with[@]}" -eq 0 ] || try_authenticode
  [ -z "$gpg_key" ] || try_gpg
}

# The credentials first, then the time-stamping server: a failure of the
# second trial is the server's.
try_authenticode() {
  local pe=$scratch/probe.exe log=$scratch/probe.log status=0
  tiny_pe >"$pe"
  authenticode_sign "$pe" "$pe.signed" "$probe_seconds" >"$log" 2>&1 || explain_authenticode "$log"
  [ "${#time_stamp[@]}" -gt 0 ] || return 0
  authenticode_sign "$pe" "$pe.signed" "$probe_seconds" "${time_stamp[@]}" >"$log" 2>&1 || status=$?
  case $status in
    0) ;;
    124) refuse "the time-stamping server $timestamp_url did not answer within $probe_seconds s" ;;
    *)
      grep -q -i 'connection refused' "$log" && refuse "the time-stamping server $timestamp_url refused the connection"
      refuse "the time-stamping server $timestamp_url gave no time stamp"
      ;;
  esac
}

# Why osslsigncode could not sign: asked of openssl only after osslsigncode
# failed, so that no file osslsigncode takes is refused on openssl's word.
explain_authenticode() {
  local pass=(-passin pass:)
  [ -z "$password_file" ] || pass=(-passin "file:$password_file")
  if [ -n "$sign_pkcs12" ]; then
    # Whatever the password: a DER sequence of the version, then PKCS#7 data.
    openssl asn1parse -inform DER -in "$sign_pkcs12" 2>/dev/null | sed -n 4p | grep -q ':pkcs7-data' ||
      refuse "$sign_pkcs12 is not a .pfx (PKCS#12) file"
    openssl pkcs12 -in "$sign_pkcs12" "${pass[@]}" -noout >/dev/null 2>&1 ||
      refuse "the .pfx password in QELISP_SIGN_PASSWORD does not open $sign_pkcs12"
  else
    openssl x509 -in "$sign_cert" -noout >/dev/null 2>&1 ||
      refuse "the certificate $sign_cert is not a readable PEM certificate"
    if ! openssl pkey -in "$sign_key" "${pass[@]}" -noout >/dev/null 2>&1; then
      grep -q ENCRYPTED "$sign_key" && refuse "the password in QELISP_SIGN_PASSWORD does not open the key $sign_key"
      refuse "the key $sign_key is not a readable PEM private key"
    fi
    [ "$(openssl x509 -in "$sign_cert" -noout -pubkey 2>/dev/null)" = \
      "$(openssl pkey -in "$sign_key" "${pass[@]}" -pubout 2>/dev/null)" ] ||
      refuse "the certificate $sign_cert does not match the key $sign_key"
  fi
  refuse "osslsigncode cannot sign with ${sign_pkcs12:-$sign_cert and $sign_key}: $(head -1 "$1")"
}

try_gpg() {
  local probe=$scratch/probe.txt status=0 code
  echo "QelIsp" >"$probe"
  gpg_sign --status-fd 4 --local-user "$gpg_key" --armor --detach-sign --output "$probe.asc" "$probe" \
    4>"$probe.status" >"$probe.log" 2>&1 </dev/null || status=$?
  [ "$status" -ne 0 ] || return 0
  [ "$status" -ne 124 ] || refuse "gpg did not sign with the key $gpg_key within $gpg_seconds s"
  # gpg's error code is the low 16 bits: 85 no pinentry may ask, 11 a bad passphrase.
  code=$(sed -n 's/^\[GNUPG:\] FAILURE sign \([0-9]*\).*/\1/p' "$probe.status" | head -1)
  case $((${code:-0} & 0xffff)) in
    85) refuse "the gpg key $gpg_key needs a passphrase: set QELISP_GPG_PASSPHRASE" ;;
    11) refuse "the passphrase in QELISP_GPG_PASSPHRASE does not unlock the gpg key $gpg_key" ;;
  esac
  refuse "gpg cannot sign with the key $gpg_key: $(sed -n 's/^gpg: //p' "$probe.log" | tail -1)"
}
