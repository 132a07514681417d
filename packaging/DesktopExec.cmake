# Turns NORVA_DESKTOP_TRYEXEC, the program's installed path, into the program part of the
# desktop entry's Exec key: quoted when the path holds characters a desktop would split or
# expand, with the escapes of both the quoting and the string value.
set(path "${NORVA_DESKTOP_TRYEXEC}")
if(path MATCHES "^[A-Za-z0-9/._+-]+$")
  set(NORVA_DESKTOP_EXEC "${path}")
else()
  string(REPLACE "\\" "\\\\\\\\" quoted "${path}")
  string(REPLACE "\"" "\\\\\"" quoted "${quoted}")
  string(REPLACE "`" "\\\\`" quoted "${quoted}")
  string(REPLACE "$" "\\\\$" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(NORVA_DESKTOP_EXEC "\"${quoted}\"")
  string(REPLACE "\\" "\\\\" NORVA_DESKTOP_TRYEXEC "${path}")
endif()
