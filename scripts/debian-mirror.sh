# Sourced, not run: debian_mirror prints the Debian mirror the machine's own apt uses, so that
# the project's private apt configurations and Debian roots reach Debian the way the machine
# does (another mirror, a proxy in front of one), and the project names no package host itself.
# It is the first "URIs:" of a deb822 file in /etc/apt/sources.list.d/ (passing over a stanza for
# a security suite: debian-security.sources sorts before debian.sources), or else the URI of the
# first "deb" line of /etc/apt/sources.list; either serves every release. Without one it says
# which files it read and fails.
debian_mirror() {
  local file uri
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # Per stanza; one for a security suite names the security archive, not the mirror.
    uri=$(awk 'function take() { if (u != "" && s !~ /-security/) { print u; done = 1; exit } u = s = "" }
               /^[ \t]*$/ { take(); next }
               tolower($1) == "uris:" && NF > 1 { u = $2 }
               tolower($1) == "suites:" { s = $0 }
               END { if (!done) take() }' "$file")
    if [ -n "$uri" ]; then
      echo "${uri%/}"
      return 0
    fi
  done
  if [ -f /etc/apt/sources.list ]; then
    # deb [option=value ...] URI suite component...
    uri=$(awk '$1 == "deb" {
        i = 2
        if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
        if (i <= NF) { print $i; exit }
      }' /etc/apt/sources.list)
    if [ -n "$uri" ]; then
      echo "${uri%/}"
      return 0
    fi
  fi
  echo "no Debian mirror found: read /etc/apt/sources.list.d/*.sources and /etc/apt/sources.list," \
    "and neither names one" >&2
  return 1
}
