#!/bin/sh
# The directory the Windows tests try INIT in: it holds vek.ini ("42") and
# takes no new file. Root writes anywhere, so for root it is made immutable
# (chattr +i), for others read-only; where neither holds, there is none and
# the test skips itself.   readonly-directory.sh make|remove DIR
dir="$2"
chattr -i "$dir" 2>/dev/null
chmod -R u+w "$dir" 2>/dev/null
rm -rf "$dir"
[ "$1" = make ] || exit 0
mkdir -p "$dir" && printf '42\r\n' >"$dir/vek.ini"
chattr +i "$dir" 2>/dev/null || chmod a-w "$dir"
if touch "$dir/x" 2>/dev/null; then
    chmod u+w "$dir" && rm -rf "$dir"
fi
exit 0
